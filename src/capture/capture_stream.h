#pragma once

#include <cstdint>
#include <functional>

// Platform seam for the screen capture. Each backend (x11, macos, the test
// fake) defines these functions; the build picks one.

struct CaptureStream;

// The running stream, recorded by main once capture has started; stopped by
// the shutdown monitor.
extern CaptureStream* g_stream;

// Chooses the main display, sets up and starts capturing it at TARGET_FPS.
// From then on each picture goes to store_frame from the backend's own
// context. On failure writes its "[capture] ..." lines and returns nullptr;
// failures that the platform reports from its own callbacks may end the
// process there.
CaptureStream* start_capture_stream();

// Asks the stream to stop. `done` runs exactly once, on any thread, with
// nullptr for a clean stop or a description of what went wrong. Safe to call
// from a thread other than the one that started the stream.
void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done);
