// An API newer than the deployment target must not be used unguarded.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

bool is_audio(SCStreamOutputType type) { return type == SCStreamOutputTypeAudio; }
