#include <cstdlib>
#include <memory>
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
class WaylandBackend final : public Backend {
public:
    bool start() override {
        capture_ = wayland::start_capture();
        return capture_ != nullptr;
    }
    void stop(std::function<void(const char*)> done) override {
        if (!capture_) return done(nullptr);
        wayland::stop_capture(capture_, std::move(done));
    }
    void post(const PostedInput& input) override { input_->post(input.actions); }
    void settle() override { input_->settle(); }
    // Wayland has no permission to prompt for.
    bool input_permitted(bool) override { return input_->permitted(); }

private:
    wayland::Capture* capture_ = nullptr;
    InputMadeOnFirstUse<wayland::VirtualInput> input_{[] { return std::make_unique<wayland::VirtualInput>(); }};
};

}  // namespace

const LinuxBackendEntry kWaylandBackend = {
    "wlroots",
    compositor_offers_everything,
    []() -> std::unique_ptr<Backend> { return std::make_unique<WaylandBackend>(); },
};
