#pragma once

#include <functional>
#include <memory>

#include "input/input_event.h"

// One way to reach a Linux desktop: its capture and its input, behind the
// same seams the core calls. The first usable backend of the table is made
// once, at the first call of a seam, and lives until the process ends; the
// core never asks which one runs.
class LinuxBackend {
public:
    virtual ~LinuxBackend() = default;
    // The backend's own stream, or nullptr once its failure lines are written.
    virtual void* start_capture() = 0;
    virtual void stop_capture(void* stream, std::function<void(const char* error)> done) = 0;  // a started stream
    virtual void post_event(const InputEvent& event) = 0;
    virtual void settle_posted_events() = 0;
    virtual bool input_permitted() = 0;
};

struct LinuxBackendEntry {
    const char* name;  // as SCREENSHARE_HELPER_BACKEND names it
    // Whether this desktop can be reached this way at all.
    bool (*usable)();
    std::unique_ptr<LinuxBackend> (*make)();
};

extern const LinuxBackendEntry kWaylandBackend;
extern const LinuxBackendEntry kPortalBackend;
extern const LinuxBackendEntry kMutterBackend;
extern const LinuxBackendEntry kX11Backend;
