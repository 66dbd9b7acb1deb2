// A completion handler with the wrong parameter types must not compile.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

void request() {
    [SCShareableContent getShareableContentWithCompletionHandler:^(NSArray* displays, NSError* error) {
      (void)displays;
      (void)error;
    }];
}
