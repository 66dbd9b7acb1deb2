// Posts input events to a wlroots compositor through a virtual pointer and a
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

// One message may ask for 32767 lines; nobody means that many.
constexpr int32_t kMaxScrollClicks = 64;
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
void send_modifiers(VirtualDevices& d, uint64_t flags) {
    const XkbModifiers m = xkb_modifiers_for_flags(flags);
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
void VirtualInput::move_to(VirtualDevices& d, double x, double y) {
    const uint32_t width = d.output().width, height = d.output().height;
    if (width == 0 || height == 0) return;
    zwlr_virtual_pointer_v1_motion_absolute(d.pointer(), now_ms(), along(x, width), along(y, height), width, height);
    zwlr_virtual_pointer_v1_frame(d.pointer());
    lastPosition_ = {x, y};
}

void VirtualInput::post_event(VirtualDevices& d, const MouseEvent& e) {
    if (moves_pointer_only(e.type)) {
        move_to(d, e.x, e.y);
        return;
    }
    // A button event carries its position; it is where the pointer was last
    // sent, except for a press before any move, which happens at (0, 0).
    if (lastPosition_ != std::pair{e.x, e.y}) move_to(d, e.x, e.y);
    const uint32_t button = e.button == MouseButton::Left    ? BTN_LEFT
                            : e.button == MouseButton::Right ? BTN_RIGHT
                                                             : BTN_MIDDLE;
    // Clients count double and triple clicks themselves from the presses' times.
    zwlr_virtual_pointer_v1_button(d.pointer(), now_ms(), button, presses_button(e.type) ? kPressed : kReleased);
    zwlr_virtual_pointer_v1_frame(d.pointer());
}

// A positive delta scrolls up, as X11's wheel button 4 does; a Wayland axis
// value grows downwards.
void VirtualInput::post_event(VirtualDevices& d, const ScrollEvent& e) {
    const int32_t clicks = -std::clamp(e.delta, -kMaxScrollClicks, kMaxScrollClicks);
    if (clicks == 0) return;
    zwlr_virtual_pointer_v1_axis_discrete(d.pointer(), now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_int(kScrollClickValue * clicks), clicks);
    zwlr_virtual_pointer_v1_frame(d.pointer());
}

// Each key event carries the modifiers held with it, its own change included.
void VirtualInput::post_event(VirtualDevices& d, const KeyEvent& e) {
    if (mac_keycode_to_keysym(e.keyCode) == kNoSymbol) return;
    // A release of a key never pressed still goes out, as on the Mac.
    send_key(d, xkb_keycode_for_mac(e.keyCode), e.keyDown);
    if (e.flags != heldModifiers_) send_modifiers(d, heldModifiers_ = e.flags);
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

void VirtualInput::post_event(VirtualDevices& d, const TextEvent& e) {
    const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol) return;
    const auto held =
        std::find_if(heldText_.begin(), heldText_.end(), [&](const HeldText& h) { return h.codePoint == cp; });
    if (!e.keyDown) {
        if (held == heldText_.end()) return;
        send_key(d, held->keycode, false);
        spareKeys_.release(held->keycode, monotonic_now_ns());
        heldText_.erase(held);
        return;
    }
    uint8_t keycode = 0;
    if (held != heldText_.end()) {  // a repeat while held
        keycode = held->keycode;
    } else if (const auto leased = lease_spare_key(d, keysym)) {
        keycode = *leased;
        heldText_.push_back({cp, keycode});
    } else {
        return;
    }
    // Shift or Caps Lock held by the remote user must not change the character.
    send_modifiers(d, 0);
    send_key(d, keycode, true);
    send_modifiers(d, heldModifiers_);
}

void VirtualInput::post(const InputEvent& event) {
    std::lock_guard<std::mutex> guard(lock_);
    VirtualDevices* d = live_devices();
    if (!d) return;
    d->await_clients();
    std::visit([&](const auto& e) { post_event(*d, e); }, event);
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
