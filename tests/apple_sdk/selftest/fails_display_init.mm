// Displays come from the shareable content only.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

SCDisplay* make() { return [[SCDisplay alloc] init]; }
