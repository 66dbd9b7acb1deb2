#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "input/input_event.h"
#include "input/spare_key_pool.h"
#include "input/wayland/virtual_devices.h"

namespace wayland {

// Posts input events to a wlroots compositor through a virtual pointer and
// a virtual keyboard, on a connection of its own opened when the object is
// made. The keyboard brings its own keymap: keys type their US symbols, and
// characters get keys of their own in it. Safe to use from any thread: one
// event at a time.
class VirtualInput {
public:
    VirtualInput();

    // Wayland has no permission to grant: input can be posted when the
    // compositor offers virtual pointers and keyboards.
    bool permitted();
    void post(const InputEvent& event);
    // Returns once the compositor has handled every event posted so far.
    void settle();

private:
    // A character pressed and not yet released: its release goes to the same key.
    struct HeldText {
        uint32_t codePoint;
        uint8_t keycode;
    };

    // Null once the compositor is gone: the capture side reports that, and
    // the events meant for it are dropped.
    VirtualDevices* live_devices() { return devices_ && !compositorGone_ ? devices_.get() : nullptr; }
    void move_to(VirtualDevices& d, double x, double y);
    void post_event(VirtualDevices& d, const MouseEvent& e);
    void post_event(VirtualDevices& d, const ScrollEvent& e);
    void post_event(VirtualDevices& d, const KeyEvent& e);
    void post_event(VirtualDevices& d, const TextEvent& e);
    std::optional<uint8_t> lease_spare_key(VirtualDevices& d, uint32_t keysym);

    std::mutex lock_;
    std::unique_ptr<VirtualDevices> devices_;
    bool compositorGone_ = false;
    std::optional<std::pair<double, double>> lastPosition_;
    SpareKeyPool spareKeys_;
    std::map<uint8_t, uint32_t> spareSymbols_;  // the spare keys' symbols in the keymap we keep
    bool keymapSent_ = true;                    // the compositor has that keymap
    std::vector<HeldText> heldText_;
    uint64_t heldModifiers_ = 0;  // as the compositor last heard them, Quartz flags
};

}  // namespace wayland
