#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "input/input_event.h"
#include "platform/remote_desktop/remote_desktop_session.h"

namespace remote_desktop {

// Posts input events into a remote-desktop session (mutter's or the
// portal's): absolute motion in stream pixels, evdev buttons, discrete
// scroll steps, and keys and characters as keysyms, which the desktop types
// with its own keymap. Safe from any thread: one event at a time.
class RemoteDesktopInput {
public:
    // `session`: the started session, or null when there is none.
    explicit RemoteDesktopInput(RemoteDesktopSession* session);

    bool permitted() const { return session_ && session_->has_keyboard_and_pointer(); }
    void post(const InputEvent& event);
    // Returns once the desktop has taken every event posted so far.
    void settle();

private:
    void post_event(const MouseEvent& e);
    void post_event(const ScrollEvent& e);
    void post_event(const KeyEvent& e);
    void post_event(const TextEvent& e);

    RemoteDesktopSession* const session_;
    std::mutex lock_;
    uint64_t clientsReadyNs_ = 0;  // monotonic: no input before
    std::optional<std::pair<double, double>> lastPosition_;
    std::vector<uint32_t> heldText_;  // keysyms of characters pressed and not yet released
};

}  // namespace remote_desktop
