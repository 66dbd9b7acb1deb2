// Posts input actions to a wlroots compositor through a virtual pointer and a
// virtual keyboard, on the input side's own connection.

#include "input/wayland/virtual_input.h"

#include <linux/input-event-codes.h>

#include <algorithm>

#include "input/keysyms.h"
#include "input/xkb_keymap.h"
#include "platform/clock.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace wayland {
namespace {

// What one wheel click is worth on a wl_pointer axis, as libinput reports it.
constexpr int32_t kScrollClickValue = 15;
constexpr uint32_t kReleased = 0, kPressed = 1;  // for buttons and keys alike

uint32_t now_ms() { return static_cast<uint32_t>(monotonic_now_ns() / 1'000'000); }

uint32_t along(double position, uint32_t extent) {
    return static_cast<uint32_t>(std::clamp<int64_t>(static_cast<int64_t>(position), 0, extent));
}

void send_key(VirtualDevices& d, uint8_t keycode, bool down) {
    zwp_virtual_keyboard_v1_key(d.keyboard(), now_ms(), keycode - kEvdevOffset, down ? kPressed : kReleased);
}

// A virtual keyboard's modifiers are what we say, not what its keys do.
void send_modifiers(VirtualDevices& d, uint8_t modifiers) {
    const XkbModifiers m = xkb_modifiers_for(modifiers);
    zwp_virtual_keyboard_v1_modifiers(d.keyboard(), m.depressed, 0, m.locked, 0);
}

std::vector<uint8_t> spare_keycodes() {
    std::vector<uint8_t> keys;
    for (int code = kFirstSpareKeycode; code <= kLastKeycode; ++code) keys.push_back(uint8_t(code));
    return keys;
}

}  // namespace

// A new keymap reaches clients in order with the keys: a spare key can take
// another symbol at once.
VirtualInput::VirtualInput() : devices_(VirtualDevices::open()), spareKeys_(spare_keycodes(), 0) {}

// Absolute motion spans the shared output: a frame pixel is a point of it.
void VirtualInput::post_action(VirtualDevices& d, const PointerTo& to, uint8_t) {
    const uint32_t width = d.output().width, height = d.output().height;
    if (width == 0 || height == 0) return;
    zwlr_virtual_pointer_v1_motion_absolute(d.pointer(), now_ms(), along(to.x, width), along(to.y, height), width,
                                            height);
    zwlr_virtual_pointer_v1_frame(d.pointer());
}

// Clients count double and triple clicks themselves from the presses' times.
void VirtualInput::post_action(VirtualDevices& d, const ButtonChange& b, uint8_t) {
    const uint32_t button = b.button == PointerButton::Left    ? BTN_LEFT
                            : b.button == PointerButton::Right ? BTN_RIGHT
                                                               : BTN_MIDDLE;
    zwlr_virtual_pointer_v1_button(d.pointer(), now_ms(), button, b.down ? kPressed : kReleased);
    zwlr_virtual_pointer_v1_frame(d.pointer());
}

// Positive steps scroll up; a Wayland axis value grows downwards.
void VirtualInput::post_action(VirtualDevices& d, const WheelSteps& wheel, uint8_t) {
    const int32_t clicks = -wheel.steps;
    zwlr_virtual_pointer_v1_axis_discrete(d.pointer(), now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_int(kScrollClickValue * clicks), clicks);
    zwlr_virtual_pointer_v1_frame(d.pointer());
}

// Each key carries the modifiers held with it, its own change included.
void VirtualInput::post_action(VirtualDevices& d, const KeyChange& key, uint8_t modifiers) {
    // A release of a key never pressed still goes out, as on the Mac.
    send_key(d, xkb_keycode_for_evdev(key.evdevCode), key.down);
    if (modifiers != heldModifiers_) send_modifiers(d, heldModifiers_ = modifiers);
}

// The spare key that now types `keysym`, held; the compositor has its symbol.
std::optional<uint8_t> VirtualInput::lease_spare_key(VirtualDevices& d, uint32_t keysym) {
    const auto lease = spareKeys_.press(keysym, monotonic_now_ns());
    if (!lease) return std::nullopt;
    if (lease->remap) {
        spareSymbols_[lease->key] = keysym;
        keymapSent_ = false;
    }
    if (!keymapSent_) keymapSent_ = d.send_keymap(xkb_keymap_text(spareSymbols_));
    if (keymapSent_) return lease->key;
    spareKeys_.release(lease->key, monotonic_now_ns());
    return std::nullopt;
}

std::optional<uint8_t> VirtualInput::spare_key_with(uint32_t keysym) const {
    for (const auto& [key, symbol] : spareSymbols_) {
        if (symbol == keysym) return key;
    }
    return std::nullopt;
}

// The core posts a character's release only after its press: the key that
// still carries its symbol is the one held.
void VirtualInput::post_action(VirtualDevices& d, const CharacterChange& c, uint8_t) {
    const uint32_t keysym = code_point_to_keysym(c.codePoint);
    if (keysym == kNoSymbol) return;
    if (!c.down) {
        const auto key = spare_key_with(keysym);
        if (!key) return;
        send_key(d, *key, false);
        spareKeys_.release(*key, monotonic_now_ns());
        return;
    }
    // A repeat while held keeps its key.
    const auto key = lease_spare_key(d, keysym);
    if (!key) return;
    // Shift or Caps Lock held by the remote user must not change the character.
    send_modifiers(d, 0);
    send_key(d, *key, true);
    send_modifiers(d, heldModifiers_);
}

void VirtualInput::post(const InputActions& actions) {
    std::lock_guard<std::mutex> guard(lock_);
    VirtualDevices* d = live_devices();
    if (!d || actions.count == 0) return;
    d->await_clients();
    for (uint8_t i = 0; i < actions.count; ++i) {
        const InputAction& a = actions.items[i];
        std::visit([&](const auto& what) { post_action(*d, what, a.modifiers); }, a.what);
    }
    compositorGone_ = !d->exchange(0);
}

void VirtualInput::settle() {
    std::lock_guard<std::mutex> guard(lock_);
    if (VirtualDevices* d = live_devices()) d->settle();
}

bool VirtualInput::permitted() {
    std::lock_guard<std::mutex> guard(lock_);
    return live_devices() != nullptr;
}

}  // namespace wayland
