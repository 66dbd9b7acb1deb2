#include <memory>
#include <mutex>

#include "app/linux/linux_backend.h"
#include "capture/x11/x11_capture.h"
#include "input/x11/xtest_poster.h"

namespace {

// Capture and input on one X server, each on its own connection. The input
// side opens its connection at its first use.
class X11Backend final : public LinuxBackend {
public:
    void* start_capture() override {
        // Written before the control thread starts, read by it afterwards.
        capture_ = x11::start_capture_stream();
        return capture_;
    }
    void stop_capture(void* stream, std::function<void(const char*)> done) override {
        x11::stop_capture_stream(static_cast<x11::CaptureStream*>(stream), std::move(done));
    }
    void post_event(const InputEvent& event) override { poster().post(event); }
    void settle_posted_events() override { poster().settle(); }
    bool input_permitted() override { return poster().permitted(); }

private:
    x11::XTestPoster& poster() {
        std::call_once(posterMade_, [this] {
            // Moves land on the captured monitor, wherever it sits on the root window.
            poster_ = std::make_unique<x11::XTestPoster>(
                [this] { return capture_ ? x11::display_origin(capture_) : ScreenOrigin{}; });
        });
        return *poster_;
    }

    x11::CaptureStream* capture_ = nullptr;
    std::once_flag posterMade_;
    std::unique_ptr<x11::XTestPoster> poster_;
};

}  // namespace

// Last in the table: an X server is tried whenever Wayland is not usable,
// and says for itself why it cannot be reached.
const LinuxBackendEntry kX11Backend = {
    "x11",
    [] { return true; },
    []() -> std::unique_ptr<LinuxBackend> { return std::make_unique<X11Backend>(); },
};
