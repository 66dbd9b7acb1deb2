// Under ARC an Objective-C object is not handed to CoreFoundation unbridged,
// except as an argument of a call whose header bridges implicitly.
#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

bool trusted() {
    NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
    CFDictionaryRef cfOptions = (CFDictionaryRef)options;
    return AXIsProcessTrustedWithOptions(cfOptions);
}
