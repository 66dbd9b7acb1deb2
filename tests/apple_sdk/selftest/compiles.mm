// Must compile: so the fails_*.mm snippets fail for their own fault alone.
#import <ApplicationServices/ApplicationServices.h>
#import <ScreenCaptureKit/ScreenCaptureKit.h>

CGEventRef make() { return CGEventCreateMouseEvent(NULL, kCGEventLeftMouseDown, CGPointMake(0, 0), kCGMouseButtonLeft); }
bool trusted() {
    NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
    return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}
bool is_screen(SCStreamOutputType type) { return type == SCStreamOutputTypeScreen; }
