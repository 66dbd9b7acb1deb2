// Shareable content comes from its completion handler only.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

SCShareableContent* make() { return [[SCShareableContent alloc] init]; }
