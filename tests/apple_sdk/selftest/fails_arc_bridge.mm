// Under ARC an Objective-C object is not handed to CoreFoundation unbridged.
#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

bool trusted() {
    NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
    return AXIsProcessTrustedWithOptions((CFDictionaryRef)options);
}
