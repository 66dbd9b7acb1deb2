// Posts input events to a wlroots compositor through a virtual pointer and a
// virtual keyboard, on the input side's own connection.

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "input/pointer.h"
#include "input/spare_key_pool.h"
#include "input/wayland/virtual_devices.h"
#include "input/wayland/wayland_input.h"
#include "input/wayland/xkb_keymap.h"
#include "input/x11/x11_keysyms.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace wayland {
namespace {

// One message may ask for 32767 lines; nobody means that many.
constexpr int32_t kMaxScrollClicks = 64;
// What one wheel click is worth on a wl_pointer axis, as libinput reports it.
constexpr int32_t kScrollClickValue = 15;
constexpr uint32_t kReleased = 0, kPressed = 1;  // for buttons and keys alike

// A character pressed and not yet released: its release goes to the same key.
struct HeldText {
    uint32_t codePoint;
    uint8_t keycode;
};

std::mutex g_posterLock;
bool g_compositorGone = false;
std::optional<std::pair<double, double>> g_lastPosition;
std::optional<SpareKeyPool> g_spareKeys;
std::map<uint8_t, uint32_t> g_spareSymbols;  // the spare keys' symbols in the keymap we keep
bool g_keymapSent = true;                    // the compositor has that keymap
std::vector<HeldText> g_heldText;
uint64_t g_heldModifiers = 0;  // as the compositor last heard them, Quartz flags

uint32_t now_ms() { return static_cast<uint32_t>(monotonic_now_ns() / 1'000'000); }

uint32_t along(double position, uint32_t extent) {
    return static_cast<uint32_t>(std::clamp<int64_t>(static_cast<int64_t>(position), 0, extent));
}

// Absolute motion spans the shared output: a frame pixel is a point of it.
void move_to(const VirtualDevices& d, double x, double y) {
    const uint32_t width = d.output->info.width, height = d.output->info.height;
    if (width == 0 || height == 0) return;
    zwlr_virtual_pointer_v1_motion_absolute(d.pointer, now_ms(), along(x, width), along(y, height), width, height);
    zwlr_virtual_pointer_v1_frame(d.pointer);
    g_lastPosition = {x, y};
}

void post(const VirtualDevices& d, const MouseEvent& e) {
    switch (e.type) {
        case MouseEventType::MouseMoved:
        case MouseEventType::LeftMouseDragged:
        case MouseEventType::RightMouseDragged:
            move_to(d, e.x, e.y);
            return;
        default: break;
    }
    // A button event carries its position; it is where the pointer was last
    // sent, except for a press before any move, which happens at (0, 0).
    if (g_lastPosition != std::pair{e.x, e.y}) move_to(d, e.x, e.y);
    const uint32_t button = e.button == MouseButton::Left    ? BTN_LEFT
                            : e.button == MouseButton::Right ? BTN_RIGHT
                                                             : BTN_MIDDLE;
    const bool press = e.type == MouseEventType::LeftMouseDown || e.type == MouseEventType::RightMouseDown ||
                       e.type == MouseEventType::OtherMouseDown;
    // Clients count double and triple clicks themselves from the presses' times.
    zwlr_virtual_pointer_v1_button(d.pointer, now_ms(), button, press ? kPressed : kReleased);
    zwlr_virtual_pointer_v1_frame(d.pointer);
}

// A positive delta scrolls up, as X11's wheel button 4 does; a Wayland axis
// value grows downwards.
void post(const VirtualDevices& d, const ScrollEvent& e) {
    const int32_t clicks = -std::clamp(e.delta, -kMaxScrollClicks, kMaxScrollClicks);
    if (clicks == 0) return;
    zwlr_virtual_pointer_v1_axis_discrete(d.pointer, now_ms(), WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_int(kScrollClickValue * clicks), clicks);
    zwlr_virtual_pointer_v1_frame(d.pointer);
}

void send_key(const VirtualDevices& d, uint8_t keycode, bool down) {
    zwp_virtual_keyboard_v1_key(d.keyboard, now_ms(), keycode - kEvdevOffset, down ? kPressed : kReleased);
}

// A virtual keyboard's modifiers are what we say, not what its keys do.
void send_modifiers(const VirtualDevices& d, uint64_t flags) {
    const XkbModifiers m = xkb_modifiers_for_flags(flags);
    zwp_virtual_keyboard_v1_modifiers(d.keyboard, m.depressed, 0, m.locked, 0);
}

// Each key event carries the modifiers held with it, its own change included.
void post(const VirtualDevices& d, const KeyEvent& e) {
    if (mac_keycode_to_keysym(e.keyCode) == kNoSymbol) return;
    // A release of a key never pressed still goes out, as on the Mac.
    send_key(d, xkb_keycode_for_mac(e.keyCode), e.keyDown);
    if (e.flags != g_heldModifiers) send_modifiers(d, g_heldModifiers = e.flags);
}

SpareKeyPool& spare_keys() {
    if (!g_spareKeys) {
        std::vector<uint8_t> keys;
        for (int code = kFirstSpareKeycode; code <= kLastKeycode; ++code) keys.push_back(uint8_t(code));
        // A new keymap reaches clients in order with the keys: a key can take
        // another symbol at once.
        g_spareKeys.emplace(std::move(keys), 0);
    }
    return *g_spareKeys;
}

// The spare key that now types `keysym`, held; the compositor has its symbol.
std::optional<uint8_t> lease_spare_key(const VirtualDevices& d, uint32_t keysym) {
    const auto lease = spare_keys().press(keysym, monotonic_now_ns());
    if (!lease) return std::nullopt;
    if (lease->remap) {
        g_spareSymbols[lease->key] = keysym;
        g_keymapSent = false;
    }
    if (!g_keymapSent) g_keymapSent = send_keymap(d, xkb_keymap_text(g_spareSymbols));
    if (g_keymapSent) return lease->key;
    spare_keys().release(lease->key, monotonic_now_ns());
    return std::nullopt;
}

void post(const VirtualDevices& d, const TextEvent& e) {
    const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol) return;
    const auto held =
        std::find_if(g_heldText.begin(), g_heldText.end(), [&](const HeldText& h) { return h.codePoint == cp; });
    if (!e.keyDown) {
        if (held == g_heldText.end()) return;
        send_key(d, held->keycode, false);
        spare_keys().release(held->keycode, monotonic_now_ns());
        g_heldText.erase(held);
        return;
    }
    uint8_t keycode = 0;
    if (held != g_heldText.end()) {  // a repeat while held
        keycode = held->keycode;
    } else if (const auto leased = lease_spare_key(d, keysym)) {
        keycode = *leased;
        g_heldText.push_back({cp, keycode});
    } else {
        return;
    }
    // Shift or Caps Lock held by the remote user must not change the character.
    send_modifiers(d, 0);
    send_key(d, keycode, true);
    send_modifiers(d, g_heldModifiers);
}

// Null once the compositor is gone: the capture side reports that, and the
// events meant for it are dropped.
const VirtualDevices* live_devices() {
    const VirtualDevices* d = virtual_devices();
    return d && !g_compositorGone ? d : nullptr;
}

}  // namespace

void post_event(const InputEvent& event) {
    std::lock_guard<std::mutex> guard(g_posterLock);
    const VirtualDevices* d = live_devices();
    if (!d) return;
    std::visit([&](const auto& e) { post(*d, e); }, event);
    g_compositorGone = !exchange_with_compositor(*d, 0);
}

void settle_posted_events() {
    std::lock_guard<std::mutex> guard(g_posterLock);
    if (const VirtualDevices* d = live_devices()) settle_with_compositor(*d);
}

bool input_permitted() {
    std::lock_guard<std::mutex> guard(g_posterLock);
    return live_devices() != nullptr;
}

}  // namespace wayland
