// Must compile: so the fails_*.mm snippets fail for their own fault alone.
// glibc's <sys/types.h> first: its fixed-width integers must be Darwin's too.
#include <sys/types.h>

#import <ApplicationServices/ApplicationServices.h>
#import <CoreVideo/CoreVideo.h>
#import <ScreenCaptureKit/ScreenCaptureKit.h>

#include <stdio.h>

#include <type_traits>

CGEventRef make() { return CGEventCreateMouseEvent(NULL, kCGEventLeftMouseDown, CGPointMake(0, 0), kCGMouseButtonLeft); }
bool trusted() {
    NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
    return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}
// The Accessibility calls bridge their arguments implicitly, as on a Mac.
bool trusted_unbridged(NSDictionary* options) { return AXIsProcessTrustedWithOptions((CFDictionaryRef)options); }
bool is_screen(SCStreamOutputType type) { return type == SCStreamOutputTypeScreen; }

// Option sets are plain integers in C++: 0 and or-ed masks pass as on a Mac.
void flags(CGEventRef e, CVPixelBufferRef p) {
    CGEventSetFlags(e, 0);
    CGEventSetFlags(e, kCGEventFlagMaskShift | kCGEventFlagMaskCommand);
    CVPixelBufferLockBaseAddress(p, 0);
    CVPixelBufferUnlockBaseAddress(p, kCVPixelBufferLock_ReadOnly);
}

// A newer API behind an availability check is fine.
@interface SCStreamConfiguration (Newer)
@property (nonatomic, assign) BOOL capturesAudio API_AVAILABLE(macos(13.0));
@end
void audio(SCStreamConfiguration* configuration) {
    if (@available(macOS 13.0, *)) configuration.capturesAudio = YES;
}

// Darwin's 64-bit integers, in the types built on them.
static_assert(std::is_same_v<int64_t, long long> && std::is_same_v<uint64_t, unsigned long long>);
static_assert(std::is_same_v<CGEventFlags, unsigned long long> && std::is_same_v<CMTimeValue, long long>);
static_assert(std::is_same_v<CVOptionFlags, unsigned long long> && std::is_same_v<dispatch_time_t, unsigned long long>);
void print(CMTime time) { printf("%lld\n", time.value); }

// A stream delegate as the protocol declares it.
@interface StopWatcher : NSObject <SCStreamDelegate>
@end
@implementation StopWatcher
- (void)stream:(SCStream*)stream didStopWithError:(NSError*)error {
    (void)stream;
    (void)error;
}
@end
