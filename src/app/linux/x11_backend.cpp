#include "app/linux/linux_backend.h"
#include "capture/x11/x11_capture.h"
#include "input/x11/xtest_input.h"

// Last in the table: an X server is tried whenever Wayland is not usable,
// and says for itself why it cannot be reached.
const LinuxBackend kX11Backend = {
    "X11",
    [] { return true; },
    []() -> void* { return x11::start_capture_stream(); },
    [](void* stream, std::function<void(const char*)> done) {
        x11::stop_capture_stream(static_cast<x11::CaptureStream*>(stream), std::move(done));
    },
    x11::captured_display_origin,
    x11::post_event,
    x11::settle_posted_events,
    x11::input_permitted,
};
