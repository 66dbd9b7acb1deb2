#pragma once

#include <functional>

// A backend's screen capture.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
    // Chooses the main display, sets up and starts capturing it at
    // TARGET_FPS; from then on each picture goes to store_frame from the
    // backend's own context. False once its "[capture] ..." failure lines
    // are written.
    virtual bool start() = 0;
    // Asks the stream to stop. `done` runs exactly once, on any thread, with
    // nullptr for a clean stop or a description of what went wrong. Safe to
    // call from a thread other than the one that started the stream.
    virtual void stop(std::function<void(const char* error)> done) = 0;
};

// The running stream, recorded by main once capture has started; stopped by
// the shutdown monitor.
extern CaptureStream* g_stream;
