// Nothing of a later SDK: macOS 12.3 has no audio output type.
#import <ScreenCaptureKit/ScreenCaptureKit.h>

bool is_audio(SCStreamOutputType type) { return type == SCStreamOutputTypeAudio; }
