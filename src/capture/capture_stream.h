#pragma once

#include <functional>
#include <string>

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
    // Why no picture has come yet, for the line that says a started stream
    // never sent one: what the stream waits for, in the platform's words
    // (PipeWire: the stream's state, and that a session manager must run).
    // Empty when the backend knows nothing more than that.
    virtual std::string first_picture_hint() const { return {}; }
};

// The running stream, recorded by main once capture has started; stopped by
// the shutdown monitor.
extern CaptureStream* g_stream;
