// The backend of Windows: GDI capture of the primary monitor on the capture
// loop, and SendInput.

#include <cstdio>
#include <memory>
#include <string>

#include "app/backend.h"
#include "capture/capture_loop.h"
#include "capture/windows/gdi_capture.h"
#include "input/windows/send_input_poster.h"
#include "platform/windows/dpi_awareness.h"

namespace {

constexpr const char* kNoInputDesktopLine = "[ctrl] cannot open the input desktop: %s\n";

class WindowsBackend final : public Backend {
public:
    bool start() override { return capture_.open() && loop_.start(); }
    void stop(std::function<void(const char*)> done) override { loop_.stop(std::move(done)); }
    void post(const PostedInput& input) override { poster_.post(input.actions); }
    void settle() override { poster_.settle(); }
    // Windows asks no one: input can be posted wherever the input desktop
    // can be opened.
    bool input_permitted(bool prompt) override {
        std::string why;
        if (SendInputPoster::permitted(&why)) return true;
        if (prompt) fprintf(stderr, kNoInputDesktopLine, why.c_str());
        return false;
    }

private:
    GdiCapture capture_;
    CaptureLoop loop_{capture_};
    // Moves land on the captured monitor, wherever it sits on the virtual desktop.
    SendInputPoster poster_{[this] { return capture_.origin(); }};
};

}  // namespace

std::unique_ptr<Backend> make_backend() {
    // Before any call that touches a window or the screen.
    become_dpi_aware();
    return std::make_unique<WindowsBackend>();
}
