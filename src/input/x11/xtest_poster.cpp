// Posts input events into the X session through XTest, on the input side's
// own connection.

#include <unistd.h>
#include <xcb/xcb.h>
// xkb.h names a field `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "capture/capture_stream.h"
#include "capture/x11/xcb_handles.h"
#include "input/x11/xtest_input.h"
#include "input/pointer.h"
#include "input/spare_key_pool.h"
#include "input/x11/x11_keysyms.h"
#include "input/x11/xtest_connection.h"

namespace x11 {
namespace {

// One message may ask for 32767 lines; nobody means that many.
constexpr int kMaxScrollClicks = 64;
// Clients read a changed key only when they handle the next event; a spare
// key is given a new symbol no sooner than this after its last use. Typing
// waits for it only in a burst of more new characters than there are spare
// keys (19 on a stock Xvfb): better late than a wrong character.
constexpr uint64_t kReuseMinAgeNs = 30'000'000;
constexpr uint8_t kSpareRowWidth = 4;

constexpr xcb_keysym_t kShiftL = 0xFFE1, kShiftR = 0xFFE2;
constexpr uint8_t kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr uint8_t kWheelUp = 4, kWheelDown = 5;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

// The keyboard as XKB has it: each key's symbols, group after group.
struct KeyboardMapping {
    struct Key {
        uint8_t groupInfo;  // group count, and what a group beyond it becomes
        uint8_t width;      // levels per group
        std::vector<xcb_keysym_t> syms;
    };
    xcb_keycode_t minKeycode = 0;
    std::vector<Key> keys;  // from minKeycode on

    // The symbol that `code` gives unmodified in `group`.
    xcb_keysym_t base_symbol(xcb_keycode_t code, uint8_t group) const {
        if (code < minKeycode || size_t(code - minKeycode) >= keys.size()) return kNoSymbol;
        const Key& k = keys[code - minKeycode];
        const uint8_t groups = k.groupInfo & 0x0F;
        if (groups == 0 || k.width == 0) return kNoSymbol;
        if (group >= groups) {
            if (k.groupInfo & 0x80) {
                group = (k.groupInfo >> 4) & 0x03;  // redirected
            } else if (k.groupInfo & 0x40) {
                group = groups - 1;  // clamped
            } else {
                group %= groups;  // wrapped
            }
            if (group >= groups) group = 0;
        }
        const size_t at = size_t(group) * k.width;
        return at < k.syms.size() ? k.syms[at] : kNoSymbol;
    }
};

// A key or character pressed and not yet released: its release goes to the
// same key, whatever the keymap or group has become since.
struct HeldKey {
    bool text;
    uint32_t value;  // code point for text, keysym for a key
    xcb_keycode_t keycode;
    bool spare;  // on a key of the spare pool
};

std::mutex g_posterLock;
std::optional<KeyboardMapping> g_mapping;
bool g_mappingStale = false;  // someone else changed the keymap
uint8_t g_group = 0;          // the active XKB group
std::optional<SpareKeyPool> g_spareKeys;
std::vector<HeldKey> g_heldKeys;
std::optional<std::pair<int16_t, int16_t>> g_lastPosition;

// Sends what is queued, then waits until `readyAtNs` on the monotonic clock,
// so that clients have read a spare key's last symbol before it changes.
void flush_and_wait_until(xcb_connection_t* c, uint64_t readyAtNs) {
    const uint64_t now = monotonic_now_ns();
    if (now >= readyAtNs) return;
    xcb_flush(c);
    usleep(static_cast<useconds_t>((readyAtNs - now) / 1000));
}

std::vector<HeldKey>::iterator find_held(bool text, uint32_t value) {
    return std::find_if(g_heldKeys.begin(), g_heldKeys.end(),
                        [&](const HeldKey& h) { return h.text == text && h.value == value; });
}

// Hears of group changes and of keymaps changed by others, so that a key
// costs no round trip; our own spare keys are known already.
void select_keyboard_events(xcb_connection_t* c) {
    constexpr uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_aux(c, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0,
                              XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY,
                              XCB_XKB_MAP_PART_KEY_SYMS, XCB_XKB_MAP_PART_KEY_SYMS, &details);
    Reply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr), &free);
    g_group = state ? state->group : 0;
}

std::optional<KeyboardMapping> load_mapping(xcb_connection_t* c) {
    Reply<xcb_xkb_use_extension_reply_t> xkb(
        xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
                                    nullptr),
        &free);
    if (!xkb || !xkb->supported) return std::nullopt;
    select_keyboard_events(c);
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    Reply<xcb_xkb_get_map_reply_t> reply(
        xcb_xkb_get_map_reply(c,
                              xcb_xkb_get_map(c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, 0, 0,
                                              setup->min_keycode, count, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr),
        &free);
    if (!reply) return std::nullopt;
    xcb_xkb_get_map_map_t parts{};
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply.get()), reply->nTypes, reply->nKeySyms,
                               reply->nKeyActions, reply->totalActions, reply->totalKeyBehaviors,
                               reply->virtualMods, reply->totalKeyExplicit, reply->totalModMapKeys,
                               reply->totalVModMapKeys, reply->present, &parts);
    KeyboardMapping m;
    m.minKeycode = reply->firstKeySym;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(reply.get(), &parts); it.rem;
         xcb_xkb_key_sym_map_next(&it)) {
        const xcb_keysym_t* syms = xcb_xkb_key_sym_map_syms(it.data);
        m.keys.push_back({it.data->groupInfo, it.data->width,
                          std::vector<xcb_keysym_t>(syms, syms + xcb_xkb_key_sym_map_syms_length(it.data))});
    }
    return m;
}

const KeyboardMapping* mapping(xcb_connection_t* c) {
    if (!g_mapping || g_mappingStale) {
        g_mapping = load_mapping(c);
        g_mappingStale = false;
        if (!g_mapping) return nullptr;
        const KeyboardMapping& m = *g_mapping;
        if (g_spareKeys) {
            g_spareKeys->reconcile([&](uint8_t code) { return m.base_symbol(code, 0); });
        } else {
            std::vector<uint8_t> empty;
            for (size_t i = 0; i < m.keys.size(); ++i) {
                if (m.keys[i].syms.empty()) empty.push_back(static_cast<uint8_t>(m.minKeycode + i));
            }
            g_spareKeys.emplace(std::move(empty), kReuseMinAgeNs);
        }
    }
    return &*g_mapping;
}

// The key that gives `keysym` unmodified in `group`; the spare keys are not
// the keymap's own.
std::optional<xcb_keycode_t> keycode_for(const KeyboardMapping& m, xcb_keysym_t keysym, uint8_t group) {
    for (size_t i = 0; i < m.keys.size(); ++i) {
        const auto code = static_cast<xcb_keycode_t>(m.minKeycode + i);
        if (m.base_symbol(code, group) == keysym && !g_spareKeys->owns(code)) return code;
    }
    return std::nullopt;
}

void set_key_symbol(xcb_connection_t* c, xcb_keycode_t code, xcb_keysym_t keysym) {
    // The same symbol on every level: it arrives as itself whatever modifiers are held.
    const xcb_keysym_t row[kSpareRowWidth] = {keysym, keysym, keysym, keysym};
    xcb_change_keyboard_mapping(c, 1, code, kSpareRowWidth, row);
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

// Whether the remote user holds Shift down. A character typed on its own key
// would then come out shifted ('x' as 'X'); a spare key gives the character
// on every level.
bool shift_held() {
    return std::any_of(g_heldKeys.begin(), g_heldKeys.end(),
                       [](const HeldKey& h) { return !h.text && (h.value == kShiftL || h.value == kShiftR); });
}

void press(const XInputConnection& x, bool text, uint32_t value, xcb_keysym_t keysym) {
    const auto held = find_held(text, value);
    if (held != g_heldKeys.end()) {  // a repeat while held
        fake(x, XCB_KEY_PRESS, held->keycode);
        return;
    }
    const KeyboardMapping* m = mapping(x.conn);
    if (!m) return;
    HeldKey h{text, value, 0, false};
    if (const auto code = text && shift_held() ? std::nullopt : keycode_for(*m, keysym, g_group)) {
        h.keycode = *code;
    } else if (const auto lease = g_spareKeys->press(keysym, monotonic_now_ns())) {
        flush_and_wait_until(x.conn, lease->readyAtNs);
        if (lease->remap) set_key_symbol(x.conn, lease->key, keysym);
        h.keycode = lease->key;
        h.spare = true;
    } else {
        return;
    }
    g_heldKeys.push_back(h);
    fake(x, XCB_KEY_PRESS, h.keycode);
}

// False when nothing of that was held.
bool release(const XInputConnection& x, bool text, uint32_t value) {
    const auto held = find_held(text, value);
    if (held == g_heldKeys.end()) return false;
    const HeldKey h = *held;
    g_heldKeys.erase(held);
    fake(x, XCB_KEY_RELEASE, h.keycode);
    // The key keeps the symbol: typing the character again needs no remap.
    if (h.spare) g_spareKeys->release(h.keycode, monotonic_now_ns());
    return true;
}

// The event's modifier flags are not needed here: XTest presses real keys, so
// the server keeps the modifier state itself.
void post(const XInputConnection& x, const KeyEvent& e) {
    const uint32_t keysym = mac_keycode_to_keysym(e.keyCode);
    if (keysym == kNoSymbol) return;
    if (e.keyDown) {
        press(x, false, keysym, keysym);
    } else if (!release(x, false, keysym)) {
        // A release of a key never pressed still goes out, as on the Mac.
        const KeyboardMapping* m = mapping(x.conn);
        if (const auto code = m ? keycode_for(*m, keysym, g_group) : std::nullopt) {
            fake(x, XCB_KEY_RELEASE, *code);
        }
    }
}

void post(const XInputConnection& x, const TextEvent& e) {
    const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol) return;
    if (e.keyDown) {
        press(x, true, cp, keysym);
    } else {
        release(x, true, cp);
    }
}

// Reads what the server sent: the active group, and whether the keymap must
// be read again before the next key.
void drain_events(xcb_connection_t* c) {
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
        Reply<xcb_generic_event_t> e(raw, &free);
        if (!xkb || !xkb->present || (e->response_type & 0x7F) != xkb->first_event) continue;
        switch (e->pad0) {  // the XKB event type
            case XCB_XKB_STATE_NOTIFY:
                g_group = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(raw)->group;
                break;
            case XCB_XKB_MAP_NOTIFY: {
                const auto* n = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(raw);
                if (n->nKeySyms == 1 && g_spareKeys && g_spareKeys->owns(n->firstKeySym)) break;
                g_mappingStale = true;
                break;
            }
            case XCB_XKB_NEW_KEYBOARD_NOTIFY: g_mappingStale = true; break;
            default: break;
        }
    }
}

}  // namespace

void post_event(const InputEvent& event) {
    const XInputConnection* x = x_input_connection();
    if (!x || !x->xtest) return;
    std::lock_guard<std::mutex> guard(g_posterLock);
    drain_events(x->conn);
    std::visit([&](const auto& e) { post(*x, e); }, event);
    xcb_flush(x->conn);
    drain_events(x->conn);
}

void settle_posted_events() {
    const XInputConnection* x = x_input_connection();
    if (!x) return;
    std::lock_guard<std::mutex> guard(g_posterLock);
    if (g_spareKeys) {
        // Input has ended: the spare keys go back to having no symbol, once
        // clients have had the time to read the last characters typed on them.
        const std::vector<uint8_t> mapped = g_spareKeys->take_mapped();
        if (!mapped.empty()) flush_and_wait_until(x->conn, g_spareKeys->last_use_ns() + kReuseMinAgeNs);
        for (uint8_t code : mapped) set_key_symbol(x->conn, code, kNoSymbol);
    }
    // A reply comes only after the server has handled every request before
    // it. Without it, the last requests of a process that exits at once can
    // be dropped with the connection.
    free(xcb_get_input_focus_reply(x->conn, xcb_get_input_focus(x->conn), nullptr));
}

}  // namespace x11
