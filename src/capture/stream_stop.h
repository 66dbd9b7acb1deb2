#pragma once

#include <string>

#include "capture/capture_config.h"

// ScreenCaptureKit ends a running stream by itself when the Screen Recording
// permission is revoked, the user session ends or the window server
// restarts. No picture comes after that, and the writer would go on sending
// the last one as if the screen were live; the capture is lost, as when an X
// server or a Wayland compositor goes away.

constexpr const char* kStreamStoppedLine = "[capture] ERROR: ScreenCaptureKit stopped the stream: %s\n";

// What a stop that the service reports means. One we asked for, at the end
// of input, belongs to the shutdown, which reports it and ends the process:
// nothing is written, false. Any other writes the failure lines with the
// service's words, `why`, and returns true: the caller then lets go of the
// remote user's held input and ends the process with status 1.
inline bool report_stream_stop(bool stopRequested, const std::string& why) {
    if (stopRequested) return false;
    report_capture_failure(kStreamStoppedLine, why);
    return true;
}
