// An API newer than the deployment target must not be used unguarded
// (declared here as macOS 13 declares it, since the 12.3 headers lack it).
#import <ScreenCaptureKit/ScreenCaptureKit.h>

@interface SCStreamConfiguration (Newer)
@property (nonatomic, assign) BOOL capturesAudio API_AVAILABLE(macos(13.0));
@end
void audio(SCStreamConfiguration* configuration) { configuration.capturesAudio = YES; }
