// The capture stream on ScreenCaptureKit: the main display, at its own size,
// at most TARGET_FPS pictures a second, each handed to the frame store from
// the service's output queue. A stream the service ends by itself ends the
// process.

#import <CoreMedia/CoreMedia.h>
#import <CoreVideo/CoreVideo.h>
#import <Foundation/Foundation.h>
#import <ScreenCaptureKit/ScreenCaptureKit.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "capture/capture_config.h"
#include "capture/frame_store.h"
#include "capture/sample_status.h"
#include "capture/settings.h"
#include "capture/macos/screen_capture.h"
#include "capture/stream_stop.h"
#include "platform/display_choice.h"
#include "platform/failure_exit.h"

static_assert(kCapturePixelFormat == kCVPixelFormatType_32BGRA);
static_assert(static_cast<int64_t>(SampleStatus::Complete) == SCFrameStatusComplete);
static_assert(static_cast<int64_t>(SampleStatus::Idle) == SCFrameStatusIdle);
static_assert(static_cast<int64_t>(SampleStatus::Blank) == SCFrameStatusBlank);
static_assert(static_cast<int64_t>(SampleStatus::Suspended) == SCFrameStatusSuspended);
static_assert(static_cast<int64_t>(SampleStatus::Started) == SCFrameStatusStarted);
static_assert(static_cast<int64_t>(SampleStatus::Stopped) == SCFrameStatusStopped);
static_assert(kStreamErrorNoCaptureSource == SCStreamErrorNoCaptureSource);

@class StreamStopDelegate;

namespace macos {

// Everything the running capture needs kept alive, until the process ends.
struct Capture {
    SCStream* stream;
    SCContentFilter* filter;
    SCStreamConfiguration* configuration;
    id<SCStreamOutput> output;
    StreamStopDelegate* stopDelegate;
};

}  // namespace macos

namespace {

const char* describe(NSError* error) {
    const char* text = error.localizedDescription.UTF8String;
    return text ? text : "";
}

// The error a stream stopped with, as the portable rule reads it.
StreamStopError stop_error(NSError* error) {
    const char* domain = error.domain.UTF8String;
    return StreamStopError{domain ? domain : "", static_cast<int64_t>(error.code), describe(error)};
}

// The status the service attached to a sample, or nothing if there is none.
std::optional<int64_t> sample_status(CMSampleBufferRef sample) {
    NSArray* attachments = (__bridge NSArray*)CMSampleBufferGetSampleAttachmentsArray(sample, false);
    NSDictionary* info = attachments.firstObject;
    NSNumber* status = info[SCStreamFrameInfoStatus];
    if (!status) return std::nullopt;
    return status.integerValue;
}

// Waits for one of the service's completion handlers. A service that never
// answers would hold the controller for ever; give it long enough for the
// user to answer a permission prompt, then give up with status 1 at once, so
// that a late answer cannot run into a second exit.
void wait_for_answer(dispatch_semaphore_t answered, const char* what) {
    const auto timeoutNs = static_cast<int64_t>(kCaptureAnswerTimeoutSeconds * NSEC_PER_SEC);
    if (dispatch_semaphore_wait(answered, dispatch_time(DISPATCH_TIME_NOW, timeoutNs)) == 0) return;
    fprintf(stderr, kAnswerTimedOutLine, what, kCaptureAnswerTimeoutSeconds);
    exit_on_failure(kScreenRecordingLines);
}

// The display that choose_display picks among those the service offers.
SCDisplay* choose_shareable_display(NSArray<SCDisplay*>* displays) {
    std::vector<DisplayInfo> listed;
    for (SCDisplay* d in displays) {
        listed.push_back(DisplayInfo{d.displayID, 0, 0, static_cast<uint32_t>(d.width),
                                     static_cast<uint32_t>(d.height)});
    }
    const auto chosen = choose_display(listed, CGMainDisplayID());
    if (!chosen) return nil;
    for (SCDisplay* d in displays) {
        if (d.displayID == chosen->id) return d;
    }
    return nil;
}

// Waits for the service's answer; a refused request ends the process from
// the answer itself, since nothing can be captured without the permission.
SCDisplay* request_display() {
    __block SCDisplay* chosen = nil;
    dispatch_semaphore_t answered = dispatch_semaphore_create(0);
    [SCShareableContent getShareableContentWithCompletionHandler:^(SCShareableContent* content,
                                                                   NSError* error) {
      if (error) {
          report_capture_failure(kShareableContentFailedLine, describe(error));
          exit(1);
      }
      chosen = choose_shareable_display(content.displays);
      dispatch_semaphore_signal(answered);
    }];
    wait_for_answer(answered, "getShareableContent");
    return chosen;
}

SCStreamConfiguration* make_configuration(SCDisplay* display) {
    const DisplayInfo size{display.displayID, 0, 0, static_cast<uint32_t>(display.width),
                           static_cast<uint32_t>(display.height)};
    const CaptureConfig wanted = make_capture_config(size, TARGET_FPS);
    SCStreamConfiguration* configuration = [[SCStreamConfiguration alloc] init];
    configuration.width = wanted.width;
    configuration.height = wanted.height;
    configuration.minimumFrameInterval =
        CMTimeMake(wanted.frameIntervalValue, wanted.frameIntervalTimescale);
    configuration.pixelFormat = wanted.pixelFormat;
    configuration.showsCursor = wanted.showsCursor;
    configuration.queueDepth = wanted.queueDepth;
    return configuration;
}

}  // namespace

// Receives the stream's samples on the output queue. No state of its own:
// the frame store keeps the picture.
@interface CaptureDelegate : NSObject <SCStreamOutput>
@end

@implementation CaptureDelegate

- (void)stream:(SCStream*)stream
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
                   ofType:(SCStreamOutputType)type {
    if (type != SCStreamOutputTypeScreen) return;
    // The service's queue drains no autorelease pool of ours between samples.
    @autoreleasepool {
        CVImageBufferRef pixels = CMSampleBufferGetImageBuffer(sampleBuffer);
        if (!should_store_sample(pixels != NULL, sample_status(sampleBuffer))) return;
        // Memory that could not be locked is not safe to read; nothing to unlock.
        if (CVPixelBufferLockBaseAddress(pixels, kCVPixelBufferLock_ReadOnly) != kCVReturnSuccess) return;
        // store_frame passes over a picture without memory or without size.
        const bool stored = store_frame(static_cast<const uint8_t*>(CVPixelBufferGetBaseAddress(pixels)),
                                        CVPixelBufferGetWidth(pixels), CVPixelBufferGetHeight(pixels),
                                        CVPixelBufferGetBytesPerRow(pixels));
        CVPixelBufferUnlockBaseAddress(pixels, kCVPixelBufferLock_ReadOnly);
        // The first frame could not be kept: the stream is useless from here on.
        if (!stored) capture_lost(nullptr);
    }
}

@end

// Hears from the service when it ends the stream. Told before we ask for a
// stop ourselves, so that our own is not taken for a lost capture.
@interface StreamStopDelegate : NSObject <SCStreamDelegate>
- (void)expectStop;
@end

@implementation StreamStopDelegate {
    std::atomic<bool> _stopRequested;
}

- (void)expectStop {
    _stopRequested = true;
}

- (void)stream:(SCStream*)stream didStopWithError:(NSError*)error {
    if (!report_stream_stop(_stopRequested, stop_error(error))) return;
    // Keys and buttons the remote user still holds would stay down after us.
    capture_lost(nullptr, true);
}

@end

macos::Capture* macos::start_capture() {
    // Start-up runs before the main run loop, which would drain a pool.
    @autoreleasepool {
        // A command-line process that has not touched the window server can
        // abort inside ScreenCaptureKit (CGS_REQUIRE_INIT): touch it here, on
        // the main thread, before the first request.
        (void)CGMainDisplayID();
        SCDisplay* display = request_display();
        if (!display) {
            fputs(kNoDisplayLine, stderr);
            return nullptr;
        }
        fprintf(stderr, kDisplayLine, static_cast<unsigned>(display.width),
                static_cast<unsigned>(display.height), display.displayID);

        SCContentFilter* filter = [[SCContentFilter alloc] initWithDisplay:display excludingWindows:@[]];
        SCStreamConfiguration* configuration = make_configuration(display);
        // Kept alive by Capture: a delegate is commonly held weakly.
        StreamStopDelegate* stopDelegate = [[StreamStopDelegate alloc] init];
        SCStream* stream = [[SCStream alloc] initWithFilter:filter
                                              configuration:configuration
                                                   delegate:stopDelegate];

        CaptureDelegate* output = [[CaptureDelegate alloc] init];
        NSError* error = nil;
        if (![stream addStreamOutput:output
                                type:SCStreamOutputTypeScreen
                  sampleHandlerQueue:dispatch_get_global_queue(QOS_CLASS_USER_INTERACTIVE, 0)
                               error:&error]) {
            fprintf(stderr, kAddOutputFailedLine, describe(error));
            return nullptr;
        }

        __block NSError* startError = nil;
        dispatch_semaphore_t started = dispatch_semaphore_create(0);
        [stream startCaptureWithCompletionHandler:^(NSError* failure) {
          startError = failure;
          dispatch_semaphore_signal(started);
        }];
        wait_for_answer(started, "startCapture");
        if (startError) {
            report_capture_failure(kStartFailedLine, describe(startError));
            return nullptr;
        }
        fputs(kStartedLine, stderr);
        return new Capture{stream, filter, configuration, output, stopDelegate};
    }
}

void macos::stop_capture(Capture* stream, std::function<void(const char* error)> done) {
    [stream->stopDelegate expectStop];
    [stream->stream stopCaptureWithCompletionHandler:^(NSError* error) {
      done(error ? describe(error) : nullptr);
    }];
}
