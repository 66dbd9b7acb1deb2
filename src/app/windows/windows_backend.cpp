// The platform seams on Windows: GDI capture of the primary monitor and
// SendInput, in one object made at the first call of a seam.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "capture/capture_stream.h"
#include "capture/windows/gdi_capture.h"
#include "input/accessibility.h"
#include "input/event_poster.h"
#include "input/keysyms.h"
#include "input/windows/send_input_poster.h"
#include "platform/windows/dpi_awareness.h"

namespace {

constexpr const char* kNoInputDesktopLine = "[ctrl] cannot open the input desktop: %s\n";

class WindowsBackend {
public:
    WindowsBackend() : poster_([this] { return capture_.origin(); }) {}

    GdiCapture capture_;
    SendInputPoster poster_;
};

WindowsBackend& backend() {
    static WindowsBackend* const made = [] {
        // Before any call that touches a window or the screen.
        become_dpi_aware();
        return new WindowsBackend;  // lives until the process ends
    }();
    return *made;
}

constexpr int32_t kMaxScrollClicks = 64;

// The core's events as the neutral actions Windows takes.
InputActions lower(const InputEvent& event) {
    InputActions out;
    auto add = [&](InputAction action) { out.items[out.count++] = action; };
    if (const auto* m = std::get_if<MouseEvent>(&event)) {
        add({PointerTo{static_cast<int32_t>(m->x), static_cast<int32_t>(m->y)}});
        if (!moves_pointer_only(m->type)) {
            const PointerButton b = m->button == MouseButton::Left    ? PointerButton::Left
                                    : m->button == MouseButton::Right ? PointerButton::Right
                                                                      : PointerButton::Other;
            add({ButtonChange{b, presses_button(m->type), static_cast<int32_t>(m->clickState.value_or(1))}});
        }
    } else if (const auto* s = std::get_if<ScrollEvent>(&event)) {
        add({WheelSteps{std::clamp(s->delta, -kMaxScrollClicks, kMaxScrollClicks)}});
    } else if (const auto* t = std::get_if<TextEvent>(&event)) {
        add({CharacterChange{utf16_to_code_point(t->units, t->unitCount), t->keyDown}});
    }
    return out;
}

}  // namespace

struct CaptureStream {};

CaptureStream* g_stream = nullptr;

CaptureStream* start_capture_stream() {
    if (!backend().capture_.start()) return nullptr;
    static CaptureStream stream;
    return &stream;
}

void stop_capture_stream(CaptureStream*, std::function<void(const char* error)> done) {
    backend().capture_.stop(std::move(done));
}

void post_event(const InputEvent& event) { backend().poster_.post(lower(event)); }

void settle_posted_events() { backend().poster_.settle(); }

bool accessibility_trusted_with_prompt() {
    std::string why;
    if (SendInputPoster::permitted(&why)) return true;
    fprintf(stderr, kNoInputDesktopLine, why.c_str());
    return false;
}

bool accessibility_trusted() {
    std::string why;
    return SendInputPoster::permitted(&why);
}
