// Posts input events into the X session through XTest, on the input side's
// own connection.

#include "input/x11/xtest_poster.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "input/keysyms.h"
#include "platform/clock.h"

namespace x11 {
namespace {

// One message may ask for 32767 lines; nobody means that many.
constexpr int kMaxScrollClicks = 64;
// A client reads a changed key only when it handles the server's notice of
// the change, and then asks for the map as it is at that moment: a client
// that far behind reads the key's next character for its last press. So a
// spare key is given a new symbol no sooner than this after its last use.
// GTK 3, which rebuilds its keymap on every change, fell more than 30 ms
// behind in bursts on a busy machine and read wrong characters; 200 ms is
// what Chromium's remoting host waits, and bursts into GTK and xterm with
// one core busy arrived whole with it. Only a burst of more new characters
// than there are spare keys (19 on a stock Xvfb) ever waits for it. The
// benchmarks build other ages to measure what a shorter one costs.
#ifndef HELPER_SPARE_KEY_REUSE_MS
#define HELPER_SPARE_KEY_REUSE_MS 200
#endif
constexpr uint64_t kReuseMinAgeNs = uint64_t{HELPER_SPARE_KEY_REUSE_MS} * 1'000'000;
// Once input ends, text waits for a key no longer than this: the helper must
// end promptly when stdin closes or a signal comes.
constexpr uint64_t kEndWaitNs = 1'000'000'000;
// Queued characters looked at, and given keys together, ahead of the head.
constexpr size_t kLookahead = 64;
constexpr uint8_t kSpareRowWidth = 4;

constexpr uint32_t kShiftL = 0xFFE1, kShiftR = 0xFFE2;
constexpr uint8_t kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr uint8_t kWheelUp = 4, kWheelDown = 5;

int16_t to_root(double position, int32_t origin) {
    return static_cast<int16_t>(std::clamp<int64_t>(static_cast<int64_t>(position) + origin, INT16_MIN, INT16_MAX));
}

}  // namespace

XTestPoster::XTestPoster(std::function<ScreenOrigin()> origin)
    : origin_(std::move(origin)), x_(open_x_connection()), keyboard_(x_.conn.get()) {
    if (x_.status == XConnection::Status::noServer) {
        fputs("[ctrl] ERROR: cannot connect to the X server for input\n", stderr);
        return;
    }
    if (x_.status != XConnection::Status::ok) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn(), &xcb_test_id);
    xtest_ = ext && ext->present;
    if (xtest_) thread_ = std::thread(&XTestPoster::run, this);
}

XTestPoster::~XTestPoster() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void XTestPoster::post(const InputEvent& event) {
    if (!xtest_) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back(event);
    }
    changed_.notify_all();
}

void XTestPoster::settle() {
    if (!xtest_) return;
    std::unique_lock<std::mutex> guard(lock_);
    if (!ending_) {
        ending_ = true;
        endByNs_ = monotonic_now_ns() + kEndWaitNs;
        settled_ = false;
    }
    changed_.notify_all();
    changed_.wait(guard, [this] { return settled_ || quit_; });
    ending_ = false;
}

namespace {

std::chrono::steady_clock::time_point steady_at(uint64_t monotonicNs) {
    // steady_clock is CLOCK_MONOTONIC, the clock the pool's times are on.
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(monotonicNs));
}

}  // namespace

void XTestPoster::run() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!quit_) {
        drain_events();
        if (queue_.empty()) {
            xcb_flush(conn());
            if (ending_ && !settled_) {
                give_back_keys(guard);
                settled_ = true;
                changed_.notify_all();
            } else {
                changed_.wait(guard);
            }
            continue;
        }
        std::optional<uint64_t> waitUntil;
        if (!head_ready(&waitUntil)) {
            if (ending_ && monotonic_now_ns() >= endByNs_) {
                queue_.pop_front();
                ++droppedText_;
                continue;
            }
            // What is posted so far goes out before the wait.
            xcb_flush(conn());
            changed_.wait_until(guard, steady_at(ending_ ? std::min(*waitUntil, endByNs_) : *waitUntil));
            continue;
        }
        const InputEvent event = queue_.front();
        queue_.pop_front();
        std::visit([&](const auto& e) { post_event(e); }, event);
        // Events are sent in batches while a burst lasts, each as it comes otherwise.
        if (queue_.empty()) xcb_flush(conn());
    }
}

// The keysym a text press needs a spare key for: a character the keyboard
// lacks, or any character while the remote user holds Shift.
std::optional<uint32_t> XTestPoster::spare_symbol_needed(const InputEvent& event) {
    const auto* text = std::get_if<TextEvent>(&event);
    if (!text || !text->keyDown) return std::nullopt;
    const uint32_t cp = utf16_to_code_point(text->units, text->unitCount);
    const uint32_t keysym = code_point_to_keysym(cp);
    if (keysym == kNoSymbol || find_held(true, cp) != heldKeys_.end()) return std::nullopt;
    const XkbKeySymbols* m = key_symbols();
    if (!m || (!shift_held() && keycode_for(*m, keysym))) return std::nullopt;
    return keysym;
}

bool XTestPoster::head_ready(std::optional<uint64_t>* waitUntil) {
    const auto symbol = spare_symbol_needed(queue_.front());
    if (!symbol || spareKeys_->carries(*symbol)) return true;
    const uint64_t now = monotonic_now_ns();
    const auto ready = spareKeys_->next_ready_ns(now);
    if (!ready) return true;  // every spare key held: the press is passed over
    if (*ready > now) {
        *waitUntil = *ready;
        return false;
    }
    map_upcoming_text(now);
    return true;
}

void XTestPoster::map_upcoming_text(uint64_t nowNs) {
    // Where each character queued ahead is first typed: the keys of those
    // typed soonest are the last to be taken for another.
    std::vector<uint32_t> symbols;
    std::unordered_map<uint32_t, size_t> firstUse;
    const size_t scan = std::min(queue_.size(), 4 * kLookahead);
    for (size_t i = 0; i < scan; ++i) {
        const auto* text = std::get_if<TextEvent>(&queue_[i]);
        if (!text || !text->keyDown) continue;
        const uint32_t keysym = code_point_to_keysym(utf16_to_code_point(text->units, text->unitCount));
        firstUse.emplace(keysym, i);
        const auto symbol = spare_symbol_needed(queue_[i]);
        if (symbol && symbols.size() < kLookahead && std::find(symbols.begin(), symbols.end(), *symbol) == symbols.end()) {
            symbols.push_back(*symbol);
        }
    }
    const auto nextUse = [&](uint32_t symbol) {
        const auto at = firstUse.find(symbol);
        return at == firstUse.end() ? SIZE_MAX : at->second;
    };
    set_key_symbols(spareKeys_->assign_ready(symbols, nowNs, nextUse));
}

// One change of the keymap for each run of neighbouring keys: every change
// costs each client a rebuild of its keymap.
void XTestPoster::set_key_symbols(std::vector<SpareKeyPool::Assignment> keys) {
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    for (size_t first = 0; first < keys.size();) {
        size_t end = first + 1;
        while (end < keys.size() && keys[end].key == keys[end - 1].key + 1) ++end;
        // The same symbol on every level: it arrives as itself whatever modifiers are held.
        std::vector<xcb_keysym_t> rows;
        for (size_t i = first; i < end; ++i) rows.insert(rows.end(), kSpareRowWidth, keys[i].symbol);
        xcb_change_keyboard_mapping(conn(), static_cast<uint8_t>(end - first), keys[first].key, kSpareRowWidth,
                                    rows.data());
        first = end;
    }
}

// Input has ended: the spare keys go back to having no symbol, once clients
// have had the time to read the last characters typed on them.
void XTestPoster::give_back_keys(std::unique_lock<std::mutex>& guard) {
    if (droppedText_ > 0) {
        fprintf(stderr, "[ctrl] WARNING: %zu typed characters still waiting for a free key at the end were dropped\n",
                droppedText_);
        droppedText_ = 0;
    }
    if (spareKeys_) {
        const uint64_t readyAt = spareKeys_->last_use_ns() + kReuseMinAgeNs;
        std::vector<SpareKeyPool::Assignment> keys;
        for (uint8_t key : spareKeys_->take_mapped()) keys.push_back({key, kNoSymbol});
        if (!keys.empty()) {
            xcb_flush(conn());
            while (!quit_ && monotonic_now_ns() < readyAt) changed_.wait_until(guard, steady_at(readyAt));
        }
        set_key_symbols(keys);
    }
    // A reply comes only after the server has handled every request before
    // it. Without it, the last requests of a process that exits at once can
    // be dropped with the connection.
    free(xcb_get_input_focus_reply(conn(), xcb_get_input_focus(conn()), nullptr));
}

std::vector<XTestPoster::HeldKey>::iterator XTestPoster::find_held(bool text, uint32_t value) {
    return std::find_if(heldKeys_.begin(), heldKeys_.end(),
                        [&](const HeldKey& h) { return h.text == text && h.value == value; });
}

const XkbKeySymbols* XTestPoster::key_symbols() {
    bool reread = false;
    const XkbKeySymbols* m = keyboard_.symbols(&reread);
    if (!m || !reread) return m;
    if (spareKeys_) {
        spareKeys_->reconcile([&](uint8_t code) { return m->base_symbol(code, 0); });
    } else {
        spareKeys_.emplace(m->empty_keys(), kReuseMinAgeNs);
    }
    return m;
}

// The key that gives `keysym` unmodified in the active group; the spare keys
// are not the keymap's own.
std::optional<uint8_t> XTestPoster::keycode_for(const XkbKeySymbols& m, uint32_t keysym) const {
    for (size_t i = 0; i < m.keys.size(); ++i) {
        const auto code = static_cast<uint8_t>(m.minKeycode + i);
        if (m.base_symbol(code, keyboard_.group()) == keysym && !spareKeys_->owns(code)) return code;
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
        // Given its key ahead, unless it needs none but Shift is held.
        if (lease->remap) set_key_symbols({{lease->key, keysym}});
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

bool XTestPoster::owns_all(uint8_t first, uint8_t count) const {
    if (!spareKeys_ || count == 0) return false;
    for (unsigned key = first; key < unsigned{first} + count; ++key) {
        if (key > 255 || !spareKeys_->owns(static_cast<uint8_t>(key))) return false;
    }
    return true;
}

// Reads what the server sent: the active group, and whether the keymap must
// be read again before the next key.
void XTestPoster::drain_events() {
    const auto ours = [this](uint8_t first, uint8_t count) { return owns_all(first, count); };
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn())) {
        XcbReply<xcb_generic_event_t> e(raw);
        keyboard_.handle(e.get(), ours);
    }
}

}  // namespace x11
