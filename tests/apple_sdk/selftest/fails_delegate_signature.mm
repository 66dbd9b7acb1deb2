// A stream delegate must take the stop's error as the protocol declares it.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

@interface StopWatcher : NSObject <SCStreamDelegate>
@end
@implementation StopWatcher
- (void)stream:(SCStream*)stream didStopWithError:(NSString*)reason {
    (void)stream;
    (void)reason;
}
@end
