// Posts input events into the X session through XTest, on the input side's
// own connection.

#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/capture_stream.h"
#include "capture/x11/xcb_handles.h"
#include "input/event_poster.h"
#include "input/x11/x11_keysyms.h"
#include "input/x11/xtest_connection.h"

namespace {

// One message may ask for 32767 lines; nobody means that many.
constexpr int kMaxScrollClicks = 64;
// Clients read the changed keymap only when they handle the key event; give
// them that long before the spare key goes back to NoSymbol.
constexpr useconds_t kRemapSettleUs = 30'000;

constexpr uint8_t kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr uint8_t kWheelUp = 4, kWheelDown = 5;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

struct KeyboardMapping {
    xcb_keycode_t minKeycode = 0;
    uint8_t perKeycode = 0;
    std::vector<xcb_keysym_t> keysyms;  // perKeycode entries per keycode from minKeycode

    size_t keycode_count() const { return perKeycode ? keysyms.size() / perKeycode : 0; }
    const xcb_keysym_t* row(xcb_keycode_t code) const {
        return keysyms.data() + size_t(code - minKeycode) * perKeycode;
    }
};

// A character typed through the keyboard and not yet released.
struct HeldCharacter {
    uint32_t codePoint;
    xcb_keycode_t keycode;
    bool remapped;  // on a spare key mapped for it, to be given back
};

std::mutex g_posterLock;
std::optional<KeyboardMapping> g_mapping;
std::vector<HeldCharacter> g_heldCharacters;
std::optional<std::pair<int16_t, int16_t>> g_lastPosition;

std::optional<KeyboardMapping> load_mapping(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    Reply<xcb_get_keyboard_mapping_reply_t> reply(
        xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, setup->min_keycode, count), nullptr), &free);
    if (!reply || reply->keysyms_per_keycode == 0) return std::nullopt;
    KeyboardMapping m;
    m.minKeycode = setup->min_keycode;
    m.perKeycode = reply->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.get());
    m.keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.get()));
    return m;
}

const KeyboardMapping* mapping(xcb_connection_t* c) {
    if (!g_mapping) g_mapping = load_mapping(c);
    return g_mapping ? &*g_mapping : nullptr;
}

// The key that gives `keysym`: unmodified if any key does, else on any level.
std::optional<xcb_keycode_t> keycode_for(const KeyboardMapping& m, xcb_keysym_t keysym, bool unmodifiedOnly) {
    std::optional<xcb_keycode_t> anyLevel;
    for (size_t i = 0; i < m.keycode_count(); ++i) {
        const auto code = static_cast<xcb_keycode_t>(m.minKeycode + i);
        const xcb_keysym_t* row = m.row(code);
        if (row[0] == keysym) return code;
        if (!anyLevel && std::find(row, row + m.perKeycode, keysym) != row + m.perKeycode) anyLevel = code;
    }
    return unmodifiedOnly ? std::nullopt : anyLevel;
}

// A key with no symbol at all, free for a character for the moment.
std::optional<xcb_keycode_t> spare_keycode(const KeyboardMapping& m) {
    for (size_t i = m.keycode_count(); i-- > 0;) {
        const auto code = static_cast<xcb_keycode_t>(m.minKeycode + i);
        const xcb_keysym_t* row = m.row(code);
        if (std::all_of(row, row + m.perKeycode, [](xcb_keysym_t s) { return s == kNoSymbol; })) return code;
    }
    return std::nullopt;
}

void set_key_symbol(xcb_connection_t* c, KeyboardMapping& m, xcb_keycode_t code, xcb_keysym_t keysym) {
    // The same symbol on every level: it arrives as itself whatever modifiers are held.
    std::vector<xcb_keysym_t> row(m.perKeycode, keysym);
    xcb_change_keyboard_mapping(c, 1, code, m.perKeycode, row.data());
    std::copy(row.begin(), row.end(), m.keysyms.begin() + std::ptrdiff_t(code - m.minKeycode) * m.perKeycode);
}

void fake(const XInputConnection& x, uint8_t type, uint8_t detail, int16_t rootX = 0, int16_t rootY = 0) {
    xcb_test_fake_input(x.conn, type, detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? x.root : XCB_NONE, rootX, rootY, 0);
}

int16_t to_root(double position, int32_t origin) {
    return static_cast<int16_t>(std::clamp<int64_t>(static_cast<int64_t>(position) + origin, INT16_MIN, INT16_MAX));
}

void move_to(const XInputConnection& x, double px, double py) {
    const ScreenOrigin origin = captured_display_origin();
    const std::pair<int16_t, int16_t> at{to_root(px, origin.x), to_root(py, origin.y)};
    fake(x, XCB_MOTION_NOTIFY, 0, at.first, at.second);
    g_lastPosition = at;
}

void post(const XInputConnection& x, const MouseEvent& e) {
    const auto button = [&] {
        switch (e.button) {
            case MouseButton::Left: return kButtonLeft;
            case MouseButton::Right: return kButtonRight;
            default: return kButtonMiddle;
        }
    }();
    switch (e.type) {
        case MouseEventType::MouseMoved:
        case MouseEventType::LeftMouseDragged:
        case MouseEventType::RightMouseDragged:
            move_to(x, e.x, e.y);
            return;
        default: break;
    }
    // A button event carries its position; it is where the pointer was last
    // sent, except for a press before any move, which happens at (0, 0).
    const ScreenOrigin origin = captured_display_origin();
    if (g_lastPosition != std::pair{to_root(e.x, origin.x), to_root(e.y, origin.y)}) move_to(x, e.x, e.y);
    const bool press = e.type == MouseEventType::LeftMouseDown || e.type == MouseEventType::RightMouseDown ||
                       e.type == MouseEventType::OtherMouseDown;
    // The click state has nowhere to go: X clients count double and triple
    // clicks themselves from the timing of the presses.
    fake(x, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button);
}

void post(const XInputConnection& x, const ScrollEvent& e) {
    const uint8_t button = e.delta > 0 ? kWheelUp : kWheelDown;
    const int clicks = std::min(std::abs(e.delta), kMaxScrollClicks);
    for (int i = 0; i < clicks; ++i) {
        fake(x, XCB_BUTTON_PRESS, button);
        fake(x, XCB_BUTTON_RELEASE, button);
    }
}

// The event's modifier flags are not needed here: XTest presses real keys, so
// the server keeps the modifier state itself.
void post(const XInputConnection& x, const KeyEvent& e) {
    const uint32_t keysym = mac_keycode_to_keysym(e.keyCode);
    const KeyboardMapping* m = mapping(x.conn);
    if (keysym == kNoSymbol || !m) return;
    const auto code = keycode_for(*m, keysym, false);
    if (!code) return;
    fake(x, e.keyDown ? XCB_KEY_PRESS : XCB_KEY_RELEASE, *code);
}

void press_character(const XInputConnection& x, uint32_t cp, xcb_keysym_t keysym) {
    const auto held = std::find_if(g_heldCharacters.begin(), g_heldCharacters.end(),
                                   [&](const HeldCharacter& h) { return h.codePoint == cp; });
    if (held != g_heldCharacters.end()) {  // a repeat while held
        fake(x, XCB_KEY_PRESS, held->keycode);
        return;
    }
    if (!mapping(x.conn)) return;
    KeyboardMapping& m = *g_mapping;
    HeldCharacter c{cp, 0, false};
    if (const auto code = keycode_for(m, keysym, true)) {
        c.keycode = *code;
    } else if (const auto spare = spare_keycode(m)) {
        set_key_symbol(x.conn, m, *spare, keysym);
        c.keycode = *spare;
        c.remapped = true;
    } else {
        return;
    }
    g_heldCharacters.push_back(c);
    fake(x, XCB_KEY_PRESS, c.keycode);
}

void release_character(const XInputConnection& x, uint32_t cp) {
    const auto held = std::find_if(g_heldCharacters.begin(), g_heldCharacters.end(),
                                   [&](const HeldCharacter& h) { return h.codePoint == cp; });
    if (held == g_heldCharacters.end()) return;
    const HeldCharacter c = *held;
    g_heldCharacters.erase(held);
    fake(x, XCB_KEY_RELEASE, c.keycode);
    if (!c.remapped) return;
    xcb_flush(x.conn);
    usleep(kRemapSettleUs);
    set_key_symbol(x.conn, *g_mapping, c.keycode, kNoSymbol);
}

void post(const XInputConnection& x, const TextEvent& e) {
    const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol) return;
    if (e.keyDown) {
        press_character(x, cp, keysym);
    } else {
        release_character(x, cp);
    }
}

}  // namespace

void post_event(const InputEvent& event) {
    const XInputConnection* x = x_input_connection();
    if (!x || !x->xtest) return;
    std::lock_guard<std::mutex> guard(g_posterLock);
    std::visit([&](const auto& e) { post(*x, e); }, event);
    xcb_flush(x->conn);
    discard_pending_events(x->conn);
}

void settle_posted_events() {
    const XInputConnection* x = x_input_connection();
    if (!x) return;
    std::lock_guard<std::mutex> guard(g_posterLock);
    // A reply comes only after the server has handled every request before
    // it. Without it, the last requests of a process that exits at once can
    // be dropped with the connection.
    free(xcb_get_input_focus_reply(x->conn, xcb_get_input_focus(x->conn), nullptr));
}
