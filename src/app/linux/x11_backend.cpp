#include <algorithm>
#include <memory>
#include <optional>
#include <mutex>

#include "app/linux/linux_backend.h"
#include "capture/x11/x11_capture.h"
#include "input/keysyms.h"
#include "input/x11/xtest_poster.h"

namespace {

// TEMPORARY, until the core lowers its events to input actions itself: the
// same lowering, for the X11 poster only. A button goes to where it happens
// first when the pointer was last sent elsewhere (or never).
class ActionLowering {
public:
    InputActions lower(const InputEvent& event) {
        InputActions out;
        const auto add = [&](auto what) { out.items[out.count++] = InputAction{what, 0}; };
        if (const auto* m = std::get_if<MouseEvent>(&event)) {
            const PointerTo at{int32_t(m->x), int32_t(m->y)};
            if (moves_pointer_only(m->type) || !last_ || last_->x != at.x || last_->y != at.y) add(at), last_ = at;
            if (moves_pointer_only(m->type)) return out;
            const PointerButton b = m->button == MouseButton::Left    ? PointerButton::Left
                                    : m->button == MouseButton::Right ? PointerButton::Right
                                                                      : PointerButton::Other;
            add(ButtonChange{b, presses_button(m->type), int32_t(m->clickState.value_or(1))});
        } else if (const auto* s = std::get_if<ScrollEvent>(&event)) {
            add(WheelSteps{std::clamp(s->delta, -64, 64)});
        } else if (const auto* k = std::get_if<KeyEvent>(&event)) {
            if (const uint32_t keysym = mac_keycode_to_keysym(k->keyCode)) add(KeyChange{keysym, 0, 0, k->keyDown});
        } else if (const auto* t = std::get_if<TextEvent>(&event)) {
            add(CharacterChange{utf16_to_code_point(t->units, t->unitCount), t->keyDown});
        }
        return out;
    }

private:
    std::optional<PointerTo> last_;
};

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
    void post_event(const InputEvent& event) override { poster().post(lowering_.lower(event)); }
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
    ActionLowering lowering_;  // TEMPORARY: the core's lowering replaces it
};

}  // namespace

// Last in the table: an X server is tried whenever Wayland is not usable,
// and says for itself why it cannot be reached.
const LinuxBackendEntry kX11Backend = {
    "x11",
    [] { return true; },
    []() -> std::unique_ptr<LinuxBackend> { return std::make_unique<X11Backend>(); },
};
