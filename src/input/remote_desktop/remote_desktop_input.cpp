// Posts input events through a remote-desktop session's Notify* calls.

#include "input/remote_desktop/remote_desktop_input.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "input/keysyms.h"
#include "platform/clock.h"

namespace remote_desktop {
namespace {

// One message may ask for 32767 lines; nobody means that many.
constexpr int32_t kMaxScrollClicks = 64;
constexpr uint32_t kShiftL = 0xFFE1;
// How long clients get to take up the keyboard and pointer that the seat
// gains with the session's: mutter sends a key only to the focused client's
// own wl_keyboard, which the client asks for once it has heard of the new
// keyboard. A key sent sooner reaches nobody, and nothing on the bus tells
// when that has happened. A loaded mutter, busy with the first input, has
// been seen to take up a client's request for the keyboard 0.4 s after
// announcing it.
constexpr uint64_t kClientsCatchUpNs = 1'000'000'000;

}  // namespace

// GNOME makes a session's pointer and keyboard at their first event, and
// only then do clients bind them: the first events were lost. A modifier
// pressed and let go, and a move by nothing, make both during start-up;
// real input waits until clients have had time to take them up.
RemoteDesktopInput::RemoteDesktopInput(RemoteDesktopSession* session) : session_(session) {
    if (!session_) return;
    session_->keysym(kShiftL, true), session_->keysym(kShiftL, false);
    session_->pointer_motion_relative(0, 0);
    session_->settle();
    clientsReadyNs_ = monotonic_now_ns() + kClientsCatchUpNs;
}

void RemoteDesktopInput::post_event(const MouseEvent& e) {
    // A button event carries its position; it is where the pointer was last
    // sent, except for a press before any move, which happens at (0, 0).
    if (moves_pointer_only(e.type) || lastPosition_ != std::pair{e.x, e.y}) {
        session_->pointer_motion(e.x, e.y);
        lastPosition_ = {e.x, e.y};
    }
    if (moves_pointer_only(e.type)) return;
    const int32_t button = e.button == MouseButton::Left    ? BTN_LEFT
                           : e.button == MouseButton::Right ? BTN_RIGHT
                                                            : BTN_MIDDLE;
    session_->pointer_button(button, presses_button(e.type));
}

// A positive delta scrolls up, as X11's wheel button 4 does; a step on the
// desktop's axis scrolls down.
void RemoteDesktopInput::post_event(const ScrollEvent& e) {
    const int32_t steps = -std::clamp(e.delta, -kMaxScrollClicks, kMaxScrollClicks);
    if (steps != 0) session_->scroll_steps(steps);
}

// Modifiers are keys like any other here: the desktop tracks what is held.
void RemoteDesktopInput::post_event(const KeyEvent& e) {
    const uint32_t keysym = mac_keycode_to_keysym(e.keyCode);
    if (keysym != kNoSymbol) session_->keysym(keysym, e.keyDown);
}

void RemoteDesktopInput::post_event(const TextEvent& e) {
    const uint32_t keysym = code_point_to_keysym(utf16_to_code_point(e.units, e.unitCount));
    if (keysym == kNoSymbol) return;
    const auto held = std::find(heldText_.begin(), heldText_.end(), keysym);
    if (e.keyDown) {
        if (held == heldText_.end()) heldText_.push_back(keysym);
    } else if (held != heldText_.end()) {
        heldText_.erase(held);
    } else {
        return;  // never pressed: the desktop would find nothing to release
    }
    session_->keysym(keysym, e.keyDown);
}

void RemoteDesktopInput::post(const InputEvent& event) {
    if (!session_) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (const uint64_t now = monotonic_now_ns(); now < clientsReadyNs_)
        std::this_thread::sleep_for(std::chrono::nanoseconds(clientsReadyNs_ - now));
    std::visit([&](const auto& e) { post_event(e); }, event);
}

void RemoteDesktopInput::settle() {
    if (session_) session_->settle();
}

}  // namespace remote_desktop
