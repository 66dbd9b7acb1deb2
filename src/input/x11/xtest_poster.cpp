// Posts input actions into the X session through XTest, on the input side's
// own connection.

#include "input/x11/xtest_poster.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "input/keysyms.h"
#include "platform/clock.h"

namespace x11 {
namespace {

// How long even a slow client takes to look a key up: GTK 3, which rebuilds
// its keymap on every change, fell more than 30 ms behind in bursts on a
// busy machine and read wrong characters; 200 ms is what Chromium's
// remoting host waits, and bursts into Xlib clients, GTK and xterm with one
// core busy arrived whole with it. The benchmarks build other ages to
// measure what a shorter one costs.
#ifndef HELPER_SPARE_KEY_REUSE_MS
#define HELPER_SPARE_KEY_REUSE_MS 200
#endif
constexpr uint64_t kReuseAgeNs = uint64_t{HELPER_SPARE_KEY_REUSE_MS} * 1'000'000;
// Once input ends, text waits for a key no longer than this: the helper must
// end promptly when stdin closes or a signal comes.
constexpr uint64_t kEndWaitNs = 1'000'000'000;
constexpr uint8_t kSpareRowWidth = 4;
constexpr uint8_t kButtonLeft = 1, kButtonMiddle = 2, kButtonRight = 3;
constexpr uint8_t kWheelUp = 4, kWheelDown = 5;

int16_t to_root(int32_t position, int32_t origin) {
    return static_cast<int16_t>(std::clamp<int64_t>(int64_t{position} + origin, INT16_MIN, INT16_MAX));
}

std::chrono::steady_clock::time_point steady_at(uint64_t monotonicNs) {
    // steady_clock is CLOCK_MONOTONIC, the clock of monotonic_now_ns.
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(monotonicNs));
}

}  // namespace

XTestPoster::XTestPoster(std::function<ScreenOrigin()> origin)
    : origin_(std::move(origin)), x_(open_x_connection()), keyboard_(x_.conn.get()), typist_(*this, kReuseAgeNs) {
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

void XTestPoster::post(const InputActions& actions) {
    if (!xtest_) return;
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (uint8_t i = 0; i < actions.count; ++i) typist_.add(actions.items[i]);
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

void XTestPoster::run() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!quit_) {
        drain_events();
        const uint64_t now = monotonic_now_ns();
        const auto next = typist_.type(now);
        // Events are sent in batches while a burst lasts, each as it comes otherwise.
        xcb_flush(conn());
        if (ending_ && !settled_ && typist_.idle()) {
            finish(guard);  // the keys go back: no need to set them again
        } else if (!next) {
            changed_.wait(guard);
        } else if (ending_ && now >= endByNs_) {
            log_dropped(typist_.drop_waiting(now));
        } else {
            changed_.wait_until(guard, steady_at(ending_ ? std::min(*next, endByNs_) : *next));
        }
    }
}

// Input has ended: the lent keys go back to having no symbol, once clients
// have had the time to read the last characters typed on them.
void XTestPoster::finish(std::unique_lock<std::mutex>& guard) {
    if (const auto at = typist_.keys_back_at(monotonic_now_ns())) {
        while (!quit_ && monotonic_now_ns() < *at) changed_.wait_until(guard, steady_at(*at));
        typist_.give_back_keys();
    }
    sync();
    settled_ = true;
    changed_.notify_all();
}

const XkbKeySymbols* XTestPoster::symbols() {
    bool reread = false;
    const XkbKeySymbols* m = keyboard_.symbols(&reread);
    if (reread) ++generation_;
    return m;
}

std::vector<uint8_t> XTestPoster::free_keys() {
    const XkbKeySymbols* m = symbols();
    return m ? m->empty_keys() : std::vector<uint8_t>{};
}

std::optional<uint8_t> XTestPoster::key_for(uint32_t keysym) {
    const XkbKeySymbols* m = symbols();
    if (!m) return std::nullopt;
    for (size_t i = 0; i < m->keys.size(); ++i) {
        const auto code = static_cast<uint8_t>(m->minKeycode + i);
        if (!changedByUs_[code] && m->base_symbol(code, keyboard_.group()) == keysym) return code;
    }
    return std::nullopt;
}

uint32_t XTestPoster::symbol_on(uint8_t key) {
    const XkbKeySymbols* m = symbols();
    return m ? m->base_symbol(key, 0) : kNoSymbol;
}

uint64_t XTestPoster::keymap_generation() {
    symbols();
    return generation_;
}

// One change of the keymap for each run of neighbouring keys: every change
// costs each client a rebuild of its keymap.
void XTestPoster::set_symbols(const std::vector<SpareKeyPool::Assignment>& given) {
    std::vector<SpareKeyPool::Assignment> keys = given;
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) { return a.key < b.key; });
    for (size_t first = 0; first < keys.size();) {
        size_t end = first + 1;
        while (end < keys.size() && keys[end].key == keys[end - 1].key + 1) ++end;
        // The same symbol on every level: it arrives as itself whatever modifiers are held.
        std::vector<xcb_keysym_t> rows;
        for (size_t i = first; i < end; ++i) {
            rows.insert(rows.end(), kSpareRowWidth, keys[i].symbol);
            changedByUs_[keys[i].key] = true;
        }
        xcb_change_keyboard_mapping(conn(), static_cast<uint8_t>(end - first), keys[first].key, kSpareRowWidth,
                                    rows.data());
        first = end;
    }
}

void XTestPoster::press(uint8_t key, bool down) { fake(down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key); }

void XTestPoster::post_pointer(const InputAction& action) {
    if (const auto* to = std::get_if<PointerTo>(&action.what)) {
        const ScreenOrigin origin = origin_();
        fake(XCB_MOTION_NOTIFY, 0, to_root(to->x, origin.x), to_root(to->y, origin.y));
    } else if (const auto* b = std::get_if<ButtonChange>(&action.what)) {
        const uint8_t button = b->button == PointerButton::Left    ? kButtonLeft
                               : b->button == PointerButton::Right ? kButtonRight
                                                                   : kButtonMiddle;
        // X clients count double and triple clicks themselves from the timing of the presses.
        fake(b->down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, button);
    } else if (const auto* w = std::get_if<WheelSteps>(&action.what)) {
        const uint8_t button = w->steps > 0 ? kWheelUp : kWheelDown;
        for (int32_t i = 0; i < std::abs(w->steps); ++i) fake(XCB_BUTTON_PRESS, button), fake(XCB_BUTTON_RELEASE, button);
    }
}

// A reply comes only after the server has handled every request before it.
// Without it, the last requests of a process that exits at once can be
// dropped with the connection.
void XTestPoster::sync() { free(xcb_get_input_focus_reply(conn(), xcb_get_input_focus(conn()), nullptr)); }

void XTestPoster::fake(uint8_t type, uint8_t detail, int16_t rootX, int16_t rootY) {
    xcb_test_fake_input(conn(), type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? x_.screen->root : XCB_NONE,
                        rootX, rootY, 0);
}

// Reads what the server sent: the active group, and whether the keymap must
// be read again before the next key.
void XTestPoster::drain_events() {
    const auto ours = [this](uint8_t first, uint8_t count) {
        if (count == 0) return false;
        for (unsigned key = first; key < unsigned{first} + count; ++key) {
            if (key > 255 || !changedByUs_[key]) return false;
        }
        return true;
    };
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn())) {
        XcbReply<xcb_generic_event_t> e(raw);
        keyboard_.handle(e.get(), ours);
    }
}

}  // namespace x11
