#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "input/input_action.h"
#include "input/spare_key_pool.h"
#include "input/wayland/virtual_devices.h"

namespace wayland {

// Posts input actions to a wlroots compositor through a virtual pointer and
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
    void post(const InputActions& actions);
    // Returns once the compositor has handled every event posted so far.
    void settle();

private:
    // Null once the compositor is gone: the capture side reports that, and
    // the events meant for it are dropped.
    VirtualDevices* live_devices() { return devices_ && !compositorGone_ ? devices_.get() : nullptr; }
    void post_action(VirtualDevices& d, const PointerTo& to, uint8_t modifiers);
    void post_action(VirtualDevices& d, const ButtonChange& button, uint8_t modifiers);
    void post_action(VirtualDevices& d, const WheelSteps& wheel, uint8_t modifiers);
    void post_action(VirtualDevices& d, const KeyChange& key, uint8_t modifiers);
    void post_action(VirtualDevices& d, const CharacterChange& character, uint8_t modifiers);
    std::optional<uint8_t> lease_spare_key(VirtualDevices& d, uint32_t keysym);
    // The spare key that carries `keysym`, held since its press.
    std::optional<uint8_t> spare_key_with(uint32_t keysym) const;

    std::mutex lock_;
    std::unique_ptr<VirtualDevices> devices_;
    bool compositorGone_ = false;
    SpareKeyPool spareKeys_;
    std::map<uint8_t, uint32_t> spareSymbols_;  // the spare keys' symbols in the keymap we keep
    bool keymapSent_ = true;                    // the compositor has that keymap
    uint8_t heldModifiers_ = 0;  // as the compositor last heard them, ModifierBit
};

}  // namespace wayland
