#pragma once

#include <functional>

#include "capture/capture_stream.h"
#include "input/input_event.h"

// One way to reach a Linux desktop: its capture and its input, behind the
// same seams the core calls. The first usable backend of the table is chosen
// once, at start-up; each backend is a set of functions, so the core never
// asks which one runs.
struct LinuxBackend {
    const char* name;
    // Whether this desktop can be reached this way at all.
    bool (*usable)();
    // The backend's own stream, or nullptr once its failure lines are written.
    void* (*start_capture)();
    void (*stop_capture)(void* stream, std::function<void(const char* error)> done);  // a started stream
    ScreenOrigin (*display_origin)();
    void (*post_event)(const InputEvent& event);
    void (*settle_posted_events)();
    bool (*input_permitted)();
};

extern const LinuxBackend kWaylandBackend;
extern const LinuxBackend kX11Backend;
