#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/display_choice.h"

// What a capture service is asked for, and what the capture stream says when
// setting it up goes wrong. Kept here, beside the frame store's layout, so
// every backend asks for the same stream and reports in the same words.

// Four-character code of the capture's pixel layout (blue, green, red,
// alpha in memory), as CoreVideo spells it: 'BGRA' read as a big-endian
// number. The stream header writes the same four bytes little-endian.
constexpr uint32_t kCapturePixelFormat = 0x42475241;

// Pictures the service may hold for us at once.
constexpr int kCaptureQueueDepth = 3;

struct CaptureConfig {
    uint32_t width;
    uint32_t height;
    // Shortest time between two pictures: frameIntervalValue / timescale s.
    int64_t frameIntervalValue;
    int32_t frameIntervalTimescale;
    uint32_t pixelFormat;
    bool showsCursor;  // the pointer is drawn into the pictures
    int queueDepth;
};

// The whole display at its own size, at most `fps` pictures a second.
constexpr CaptureConfig make_capture_config(const DisplayInfo& display, uint32_t fps) {
    return CaptureConfig{
        display.width, display.height, 1, static_cast<int32_t>(fps), kCapturePixelFormat, true,
        kCaptureQueueDepth,
    };
}

// Log lines of the capture set-up; each "%s" is the platform's own wording.
constexpr const char* kShareableContentFailedLine = "[capture] ERROR: getShareableContent failed: %s\n";
constexpr const char* kNoDisplayLine = "[capture] ERROR: No display found\n";
constexpr const char* kDisplayLine = "[capture] Display: %ux%u (ID=%u)\n";
constexpr const char* kAddOutputFailedLine = "[capture] ERROR: addStreamOutput failed: %s\n";
constexpr const char* kStartFailedLine = "[capture] ERROR: startCapture failed: %s\n";
constexpr const char* kScreenRecordingLines =
    "[capture] Screen Recording permission may not be granted.\n"
    "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n";

// A set-up failure: `line` with the platform's words, then where the user
// grants the permission it may be about.
inline void report_capture_failure(const char* line, const std::string& why) {
    fprintf(stderr, line, why.c_str());
    fputs(kScreenRecordingLines, stderr);
}

// How long set-up waits for each of the service's answers: long enough for
// the user to answer the system's permission prompt.
constexpr int kCaptureAnswerTimeoutSeconds = 30;
constexpr const char* kAnswerTimedOutLine = "[capture] ERROR: %s did not answer within %d s\n";
// A started stream that sends no picture for this long is given up on: a
// controller would otherwise have a helper that neither streams nor stops.
// Every desktop here sends its first picture at once, a still one too.
constexpr int kFirstPictureTimeoutSeconds = 10;
constexpr const char* kNoFirstPictureLine = "[capture] ERROR: the capture started, but no picture came within %d s%s%s\n";

// That failure: the line, with what the stream waits for where the platform
// says (`hint`, else empty), then the Screen Recording lines.
inline void report_no_first_picture(const std::string& hint) {
    fprintf(stderr, kNoFirstPictureLine, kFirstPictureTimeoutSeconds, hint.empty() ? "" : ": ", hint.c_str());
    fputs(kScreenRecordingLines, stderr);
}
constexpr const char* kStartedLine = "[capture] ScreenCaptureKit stream started OK\n";
