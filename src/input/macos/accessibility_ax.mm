// Accessibility trust, as the system's privacy settings grant it to the
// responsible process.

#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

#include "input/accessibility.h"

// Asked during start-up, before the main run loop and its pools exist.
bool accessibility_trusted_with_prompt() {
    @autoreleasepool {
        NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
        return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
    }
}

bool accessibility_trusted() { return AXIsProcessTrusted(); }
