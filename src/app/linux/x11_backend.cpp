#include <memory>

#include "app/linux/linux_backend.h"
#include "capture/x11/x11_capture.h"
#include "input/x11/xtest_poster.h"

namespace {

// Capture and input on one X server, each on its own connection. The input
// side opens its connection at its first use.
class X11Backend final : public Backend {
public:
    bool start() override {
        // Written before the control thread starts, read by it afterwards.
        capture_ = x11::start_capture();
        return capture_ != nullptr;
    }
    void stop(std::function<void(const char*)> done) override {
        if (!capture_) return done(nullptr);
        x11::stop_capture(capture_, std::move(done));
    }
    void post(const PostedInput& input) override { poster_->post(input.actions); }
    void settle() override { poster_->settle(); }
    // X has no permission to prompt for.
    bool input_permitted(bool) override { return poster_->permitted(); }

private:
    x11::Capture* capture_ = nullptr;
    // Moves land on the captured monitor, wherever it sits on the root window.
    InputMadeOnFirstUse<x11::XTestPoster> poster_{[this] {
        return std::make_unique<x11::XTestPoster>(
            [this] { return capture_ ? x11::display_origin(capture_) : ScreenOrigin{}; });
    }};
};

}  // namespace

// Last in the table: an X server is tried whenever Wayland is not usable,
// and says for itself why it cannot be reached.
const LinuxBackendEntry kX11Backend = {
    "x11",
    [] { return true; },
    []() -> std::unique_ptr<Backend> { return std::make_unique<X11Backend>(); },
};
