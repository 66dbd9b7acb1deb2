// Posts input actions through a remote-desktop session's Notify* calls.

#include "input/remote_desktop/remote_desktop_input.h"

#include <linux/input-event-codes.h>

#include <chrono>
#include <thread>

#include "input/keysyms.h"
#include "platform/clock.h"

namespace remote_desktop {
namespace {

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

void RemoteDesktopInput::post_action(const PointerTo& to) { session_->pointer_motion(to.x, to.y); }

void RemoteDesktopInput::post_action(const ButtonChange& b) {
    const int32_t button = b.button == PointerButton::Left    ? BTN_LEFT
                           : b.button == PointerButton::Right ? BTN_RIGHT
                                                              : BTN_MIDDLE;
    session_->pointer_button(button, b.down);
}

// Positive steps scroll up; a step on the desktop's axis scrolls down.
void RemoteDesktopInput::post_action(const WheelSteps& wheel) { session_->scroll_steps(-wheel.steps); }

// Modifiers are keys like any other here: the desktop tracks what is held.
void RemoteDesktopInput::post_action(const KeyChange& key) { session_->keysym(key.keysym, key.down); }

// The core posts a character's release only after its press.
void RemoteDesktopInput::post_action(const CharacterChange& c) {
    const uint32_t keysym = code_point_to_keysym(c.codePoint);
    if (keysym != kNoSymbol) session_->keysym(keysym, c.down);
}

void RemoteDesktopInput::post(const InputActions& actions) {
    if (!session_ || actions.count == 0) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (const uint64_t now = monotonic_now_ns(); now < clientsReadyNs_)
        std::this_thread::sleep_for(std::chrono::nanoseconds(clientsReadyNs_ - now));
    for (uint8_t i = 0; i < actions.count; ++i) {
        std::visit([&](const auto& what) { post_action(what); }, actions.items[i].what);
    }
}

void RemoteDesktopInput::settle() {
    if (session_) session_->settle();
}

}  // namespace remote_desktop
