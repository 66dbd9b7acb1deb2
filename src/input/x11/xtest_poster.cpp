// Posts input events into the X session through XTest, on the input side's
// own connection.

#include "input/x11/xtest_poster.h"

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

#include "input/keysyms.h"
#include "platform/clock.h"

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

constexpr uint32_t kShiftL = 0xFFE1, kShiftR = 0xFFE2;
constexpr uint8_t kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr uint8_t kWheelUp = 4, kWheelDown = 5;

std::optional<XkbKeySymbols> load_key_symbols(xcb_connection_t* c) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    XcbReply<xcb_xkb_get_map_reply_t> reply(
        xcb_xkb_get_map_reply(c,
                              xcb_xkb_get_map(c, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_MAP_PART_KEY_SYMS, 0, 0, 0,
                                              setup->min_keycode, count, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                              nullptr));
    if (!reply) return std::nullopt;
    xcb_xkb_get_map_map_t parts{};
    xcb_xkb_get_map_map_unpack(xcb_xkb_get_map_map(reply.get()), reply->nTypes, reply->nKeySyms,
                               reply->nKeyActions, reply->totalActions, reply->totalKeyBehaviors,
                               reply->virtualMods, reply->totalKeyExplicit, reply->totalModMapKeys,
                               reply->totalVModMapKeys, reply->present, &parts);
    XkbKeySymbols m;
    m.minKeycode = reply->firstKeySym;
    for (auto it = xcb_xkb_get_map_map_syms_rtrn_iterator(reply.get(), &parts); it.rem;
         xcb_xkb_key_sym_map_next(&it)) {
        const xcb_keysym_t* syms = xcb_xkb_key_sym_map_syms(it.data);
        m.keys.push_back({it.data->groupInfo, it.data->width,
                          std::vector<uint32_t>(syms, syms + xcb_xkb_key_sym_map_syms_length(it.data))});
    }
    return m;
}

bool use_xkb(xcb_connection_t* c) {
    XcbReply<xcb_xkb_use_extension_reply_t> xkb(xcb_xkb_use_extension_reply(
        c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    return xkb && xkb->supported;
}

void set_key_symbol(xcb_connection_t* c, uint8_t code, uint32_t keysym) {
    // The same symbol on every level: it arrives as itself whatever modifiers are held.
    const xcb_keysym_t row[kSpareRowWidth] = {keysym, keysym, keysym, keysym};
    xcb_change_keyboard_mapping(c, 1, code, kSpareRowWidth, row);
}

int16_t to_root(double position, int32_t origin) {
    return static_cast<int16_t>(std::clamp<int64_t>(static_cast<int64_t>(position) + origin, INT16_MIN, INT16_MAX));
}

}  // namespace

XTestPoster::XTestPoster(std::function<ScreenOrigin()> origin) : origin_(std::move(origin)), x_(open_x_connection()) {
    if (x_.status == XConnection::Status::noServer) {
        fputs("[ctrl] ERROR: cannot connect to the X server for input\n", stderr);
        return;
    }
    if (x_.status != XConnection::Status::ok) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn(), &xcb_test_id);
    xtest_ = ext && ext->present;
}

// Sends what is queued, then waits until `readyAtNs` on the monotonic clock,
// so that clients have read a spare key's last symbol before it changes.
void XTestPoster::flush_and_wait_until(uint64_t readyAtNs) {
    const uint64_t now = monotonic_now_ns();
    if (now >= readyAtNs) return;
    xcb_flush(conn());
    usleep(static_cast<useconds_t>((readyAtNs - now) / 1000));
}

std::vector<XTestPoster::HeldKey>::iterator XTestPoster::find_held(bool text, uint32_t value) {
    return std::find_if(heldKeys_.begin(), heldKeys_.end(),
                        [&](const HeldKey& h) { return h.text == text && h.value == value; });
}

// Hears of group changes and of keymaps changed by others, so that a key
// costs no round trip; our own spare keys are known already.
void XTestPoster::select_keyboard_events() {
    constexpr uint16_t kEvents = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY |
                                 XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_GROUP_STATE;
    details.stateDetails = XCB_XKB_STATE_PART_GROUP_STATE;
    xcb_xkb_select_events_aux(conn(), XCB_XKB_ID_USE_CORE_KBD, kEvents, 0,
                              XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY,
                              XCB_XKB_MAP_PART_KEY_SYMS, XCB_XKB_MAP_PART_KEY_SYMS, &details);
    XcbReply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(conn(), xcb_xkb_get_state(conn(), XCB_XKB_ID_USE_CORE_KBD), nullptr));
    group_ = state ? state->group : 0;
}

const XkbKeySymbols* XTestPoster::key_symbols() {
    if (symbols_ && !symbolsStale_) return &*symbols_;
    symbols_.reset();
    if (!use_xkb(conn())) return nullptr;
    select_keyboard_events();
    symbols_ = load_key_symbols(conn());
    symbolsStale_ = false;
    if (!symbols_) return nullptr;
    const XkbKeySymbols& m = *symbols_;
    if (spareKeys_) {
        spareKeys_->reconcile([&](uint8_t code) { return m.base_symbol(code, 0); });
    } else {
        spareKeys_.emplace(m.empty_keys(), kReuseMinAgeNs);
    }
    return &*symbols_;
}

// The key that gives `keysym` unmodified in the active group; the spare keys
// are not the keymap's own.
std::optional<uint8_t> XTestPoster::keycode_for(const XkbKeySymbols& m, uint32_t keysym) const {
    for (size_t i = 0; i < m.keys.size(); ++i) {
        const auto code = static_cast<uint8_t>(m.minKeycode + i);
        if (m.base_symbol(code, group_) == keysym && !spareKeys_->owns(code)) return code;
    }
    return std::nullopt;
}

void XTestPoster::fake(uint8_t type, uint8_t detail, int16_t rootX, int16_t rootY) {
    xcb_test_fake_input(conn(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? x_.screen->root : XCB_NONE,
                        rootX, rootY, 0);
}

void XTestPoster::move_to(double px, double py) {
    const ScreenOrigin origin = origin_();
    const std::pair<int16_t, int16_t> at{to_root(px, origin.x), to_root(py, origin.y)};
    fake(XCB_MOTION_NOTIFY, 0, at.first, at.second);
    lastPosition_ = at;
}

void XTestPoster::post_event(const MouseEvent& e) {
    if (moves_pointer_only(e.type)) {
        move_to(e.x, e.y);
        return;
    }
    // A button event carries its position; it is where the pointer was last
    // sent, except for a press before any move, which happens at (0, 0).
    const ScreenOrigin origin = origin_();
    if (lastPosition_ != std::pair{to_root(e.x, origin.x), to_root(e.y, origin.y)}) move_to(e.x, e.y);
    const uint8_t button = e.button == MouseButton::Left    ? kButtonLeft
                           : e.button == MouseButton::Right ? kButtonRight
                                                            : kButtonMiddle;
    // The click state has nowhere to go: X clients count double and triple
    // clicks themselves from the timing of the presses.
    fake(presses_button(e.type) ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button);
}

void XTestPoster::post_event(const ScrollEvent& e) {
    const uint8_t button = e.delta > 0 ? kWheelUp : kWheelDown;
    const int clicks = std::min(std::abs(e.delta), kMaxScrollClicks);
    for (int i = 0; i < clicks; ++i) {
        fake(XCB_BUTTON_PRESS, button);
        fake(XCB_BUTTON_RELEASE, button);
    }
}

// Whether the remote user holds Shift down. A character typed on its own key
// would then come out shifted ('x' as 'X'); a spare key gives the character
// on every level.
bool XTestPoster::shift_held() const {
    return std::any_of(heldKeys_.begin(), heldKeys_.end(),
                       [](const HeldKey& h) { return !h.text && (h.value == kShiftL || h.value == kShiftR); });
}

void XTestPoster::press(bool text, uint32_t value, uint32_t keysym) {
    const auto held = find_held(text, value);
    if (held != heldKeys_.end()) {  // a repeat while held
        fake(XCB_KEY_PRESS, held->keycode);
        return;
    }
    const XkbKeySymbols* m = key_symbols();
    if (!m) return;
    HeldKey h{text, value, 0, false};
    if (const auto code = text && shift_held() ? std::nullopt : keycode_for(*m, keysym)) {
        h.keycode = *code;
    } else if (const auto lease = spareKeys_->press(keysym, monotonic_now_ns())) {
        flush_and_wait_until(lease->readyAtNs);
        if (lease->remap) set_key_symbol(conn(), lease->key, keysym);
        h.keycode = lease->key;
        h.spare = true;
    } else {
        return;
    }
    heldKeys_.push_back(h);
    fake(XCB_KEY_PRESS, h.keycode);
}

// False when nothing of that was held.
bool XTestPoster::release(bool text, uint32_t value) {
    const auto held = find_held(text, value);
    if (held == heldKeys_.end()) return false;
    const HeldKey h = *held;
    heldKeys_.erase(held);
    fake(XCB_KEY_RELEASE, h.keycode);
    // The key keeps the symbol: typing the character again needs no remap.
    if (h.spare) spareKeys_->release(h.keycode, monotonic_now_ns());
    return true;
}

// The event's modifier flags are not needed here: XTest presses real keys, so
// the server keeps the modifier state itself.
void XTestPoster::post_event(const KeyEvent& e) {
    const uint32_t keysym = mac_keycode_to_keysym(e.keyCode);
    if (keysym == kNoSymbol) return;
    if (e.keyDown) {
        press(false, keysym, keysym);
    } else if (!release(false, keysym)) {
        // A release of a key never pressed still goes out, as on the Mac.
        const XkbKeySymbols* m = key_symbols();
        if (const auto code = m ? keycode_for(*m, keysym) : std::nullopt) fake(XCB_KEY_RELEASE, *code);
    }
}

void XTestPoster::post_event(const TextEvent& e) {
    const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol) return;
    if (e.keyDown) {
        press(true, cp, keysym);
    } else {
        release(true, cp);
    }
}

// Reads what the server sent: the active group, and whether the keymap must
// be read again before the next key.
void XTestPoster::drain_events() {
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(conn(), &xcb_xkb_id);
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn())) {
        XcbReply<xcb_generic_event_t> e(raw);
        if (!xkb || !xkb->present || (e->response_type & 0x7F) != xkb->first_event) continue;
        switch (e->pad0) {  // the XKB event type
            case XCB_XKB_STATE_NOTIFY:
                group_ = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(raw)->group;
                break;
            case XCB_XKB_MAP_NOTIFY: {
                const auto* n = reinterpret_cast<const xcb_xkb_map_notify_event_t*>(raw);
                if (n->nKeySyms == 1 && spareKeys_ && spareKeys_->owns(n->firstKeySym)) break;
                symbolsStale_ = true;
                break;
            }
            case XCB_XKB_NEW_KEYBOARD_NOTIFY: symbolsStale_ = true; break;
            default: break;
        }
    }
}

void XTestPoster::post(const InputEvent& event) {
    if (!xtest_) return;
    std::lock_guard<std::mutex> guard(lock_);
    drain_events();
    std::visit([&](const auto& e) { post_event(e); }, event);
    xcb_flush(conn());
    drain_events();
}

void XTestPoster::settle() {
    if (x_.status != XConnection::Status::ok) return;
    std::lock_guard<std::mutex> guard(lock_);
    if (spareKeys_) {
        // Input has ended: the spare keys go back to having no symbol, once
        // clients have had the time to read the last characters typed on them.
        const std::vector<uint8_t> mapped = spareKeys_->take_mapped();
        if (!mapped.empty()) flush_and_wait_until(spareKeys_->last_use_ns() + kReuseMinAgeNs);
        for (uint8_t code : mapped) set_key_symbol(conn(), code, kNoSymbol);
    }
    // A reply comes only after the server has handled every request before
    // it. Without it, the last requests of a process that exits at once can
    // be dropped with the connection.
    free(xcb_get_input_focus_reply(conn(), xcb_get_input_focus(conn()), nullptr));
}

}  // namespace x11
