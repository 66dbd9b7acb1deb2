// The macOS backend: ScreenCaptureKit capture, CGEvent input posting the
// Quartz events the core decided, and the Accessibility permission.

#include "app/backend.h"
#include "capture/macos/screen_capture.h"
#include "input/macos/quartz_input.h"

namespace {

class MacBackend final : public Backend {
public:
    bool start() override {
        // Written before the control thread starts, read by the shutdown afterwards.
        capture_ = macos::start_capture();
        return capture_ != nullptr;
    }
    void stop(std::function<void(const char* error)> done) override {
        if (!capture_) return done(nullptr);
        macos::stop_capture(capture_, std::move(done));
    }
    void post(const PostedInput& input) override { macos::post_quartz_event(input.quartz); }
    // CGEventPost has handed the event to the window server when it returns.
    void settle() override {}
    bool input_permitted(bool prompt) override { return macos::accessibility_trusted(prompt); }

private:
    macos::Capture* capture_ = nullptr;
};

}  // namespace

std::unique_ptr<Backend> make_backend() { return std::make_unique<MacBackend>(); }
