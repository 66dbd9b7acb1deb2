#include <cstdlib>
#include <string>

#include "app/linux/linux_backend.h"
#include "capture/wayland/wayland_capture.h"
#include "capture/wayland/wayland_session.h"
#include "input/wayland/wayland_input.h"

namespace {

// A wlroots compositor: one that copies its outputs into our buffers and
// takes a virtual pointer and keyboard.
bool compositor_offers_everything() {
    const char* name = getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return false;
    std::string why;
    const auto session = open_wayland_session(&why);
    return session && session->shm && session->seat && session->screencopy && session->virtualPointers &&
           session->virtualKeyboards;
}

}  // namespace

const LinuxBackend kWaylandBackend = {
    "Wayland",
    compositor_offers_everything,
    []() -> void* { return wayland::start_capture_stream(); },
    [](void* stream, std::function<void(const char*)> done) {
        wayland::stop_capture_stream(static_cast<wayland::CaptureStream*>(stream), std::move(done));
    },
    wayland::captured_display_origin,
    wayland::post_event,
    wayland::settle_posted_events,
    wayland::input_permitted,
};
