#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "app/linux/linux_backend.h"
#include "capture/wayland/wayland_capture.h"
#include "input/wayland/virtual_input.h"
#include "platform/wayland/wayland_session.h"

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

// Capture and input on one compositor, each on its own connection. The input
// side connects at its first use.
class WaylandBackend final : public LinuxBackend {
public:
    void* start_capture() override { return wayland::start_capture_stream(); }
    void stop_capture(void* stream, std::function<void(const char*)> done) override {
        wayland::stop_capture_stream(static_cast<wayland::CaptureStream*>(stream), std::move(done));
    }
    void post_event(const InputEvent& event) override { input().post(event); }
    void settle_posted_events() override { input().settle(); }
    bool input_permitted() override { return input().permitted(); }

private:
    wayland::VirtualInput& input() {
        std::call_once(inputMade_, [this] { input_ = std::make_unique<wayland::VirtualInput>(); });
        return *input_;
    }

    std::once_flag inputMade_;
    std::unique_ptr<wayland::VirtualInput> input_;
};

}  // namespace

const LinuxBackendEntry kWaylandBackend = {
    "wlroots",
    compositor_offers_everything,
    []() -> std::unique_ptr<LinuxBackend> { return std::make_unique<WaylandBackend>(); },
};
