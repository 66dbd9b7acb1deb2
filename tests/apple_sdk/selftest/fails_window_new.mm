// Windows come from the shareable content only.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

SCWindow* make() { return [SCWindow new]; }
