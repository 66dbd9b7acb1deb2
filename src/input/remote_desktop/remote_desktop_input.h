#pragma once

#include <cstdint>
#include <mutex>

#include "input/input_action.h"
#include "platform/remote_desktop/remote_desktop_session.h"

namespace remote_desktop {

// Posts input actions into a remote-desktop session (mutter's or the
// portal's): absolute motion in stream pixels, evdev buttons, discrete
// scroll steps, and keys and characters as keysyms, which the desktop types
// with its own keymap. Safe from any thread: one event at a time.
class RemoteDesktopInput {
public:
    // `session`: the started session, or null when there is none.
    explicit RemoteDesktopInput(RemoteDesktopSession* session);

    bool permitted() const { return session_ && session_->has_keyboard_and_pointer(); }
    void post(const InputActions& actions);
    // Returns once the desktop has taken every event posted so far.
    void settle();

private:
    void post_action(const PointerTo& to);
    void post_action(const ButtonChange& button);
    void post_action(const WheelSteps& wheel);
    void post_action(const KeyChange& key);
    void post_action(const CharacterChange& character);

    RemoteDesktopSession* const session_;
    std::mutex lock_;
    uint64_t clientsReadyNs_ = 0;  // monotonic: no input before
};

}  // namespace remote_desktop
