#pragma once

#include <cstdint>
#include <string>

// ScreenCaptureKit ends a running stream by itself when the Screen Recording
// permission is revoked, the user stops sharing from the menu bar, the
// captured display goes away, the user session ends or the window server
// restarts. No picture comes after that, and the writer would go on sending
// the last one as if the screen were live; the capture is lost, as when an X
// server or a Wayland compositor goes away.

constexpr const char* kStreamStoppedLine = "[capture] ERROR: ScreenCaptureKit stopped the stream: %s\n";
constexpr const char* kUserStoppedSharingLine = "[capture] The user stopped sharing the screen.\n";
constexpr const char* kDisplayGoneLine = "[capture] The captured display went away (disconnected, or its lid closed).\n";

// ScreenCaptureKit's error domain and the two codes of its own stops that
// are not about the permission. The 12.3 SDK has no name for the user's stop
// (later SDKs call it SCStreamErrorUserStopped); the number is the same.
constexpr const char* kStreamErrorDomain = "com.apple.ScreenCaptureKit.SCStreamErrorDomain";
constexpr int64_t kStreamErrorNoCaptureSource = -3815;
constexpr int64_t kStreamErrorUserStopped = -3817;

// The error the service stopped the stream with, in plain values; empty
// and 0 where it gave none.
struct StreamStopError {
    std::string domain;
    int64_t code = 0;
    std::string description;
};

// What a stop that the service reports means. One we asked for, at the end
// of input, belongs to the shutdown, which reports it and ends the process:
// nothing is written, false. Any other writes the stopped line with the
// service's description and why it stopped (the user, the display gone, or
// else the permission, with where to grant it) and returns true: the caller
// then lets go of the remote user's held input and ends the process with
// status 1.
bool report_stream_stop(bool stopRequested, const StreamStopError& error);
