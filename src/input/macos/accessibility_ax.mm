// Accessibility trust, as the system's privacy settings grant it to the
// responsible process.

#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

#include "input/macos/quartz_input.h"

// Asked with a prompt during start-up, before the main run loop and its
// pools exist.
bool macos::accessibility_trusted(bool prompt) {
    if (!prompt) return AXIsProcessTrusted();
    @autoreleasepool {
        NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
        return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
    }
}
