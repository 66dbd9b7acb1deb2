#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "input/input_event.h"
#include "input/spare_key_pool.h"
#include "input/xkb_key_symbols.h"
#include "platform/display_choice.h"
#include "platform/x11/x_connection.h"

namespace x11 {

// Posts input events into the X session through XTEST, on a connection of
// its own (capture keeps another), opened when the poster is made. Keys type
// their US symbols where the keyboard has them; characters it lacks go on
// keys without symbols, lent to them for a while. Safe to use from any
// thread: one event at a time.
class XTestPoster {
public:
    // `origin` says where the captured display sits on the root window, so
    // that frame positions land where they were seen.
    explicit XTestPoster(std::function<ScreenOrigin()> origin);

    // X has no permission to grant: input can be posted when XTEST is there.
    bool permitted() const { return xtest_; }
    void post(const InputEvent& event);
    // Gives back the lent keys, and returns once the server has handled
    // every request, so that nothing is lost when the process ends at once.
    void settle();

private:
    // A key or character pressed and not yet released: its release goes to
    // the same key, whatever the keymap or group has become since.
    struct HeldKey {
        bool text;
        uint32_t value;  // code point for text, keysym for a key
        uint8_t keycode;
        bool spare;  // on a key of the spare pool
    };

    xcb_connection_t* conn() const { return x_.conn.get(); }
    void fake(uint8_t type, uint8_t detail, int16_t rootX = 0, int16_t rootY = 0);
    void move_to(double x, double y);
    void post_event(const MouseEvent& e);
    void post_event(const ScrollEvent& e);
    void post_event(const KeyEvent& e);
    void post_event(const TextEvent& e);
    void press(bool text, uint32_t value, uint32_t keysym);
    bool release(bool text, uint32_t value);
    bool shift_held() const;
    std::vector<HeldKey>::iterator find_held(bool text, uint32_t value);

    const XkbKeySymbols* key_symbols();
    std::optional<uint8_t> keycode_for(const XkbKeySymbols& symbols, uint32_t keysym) const;
    void select_keyboard_events();
    void drain_events();
    void flush_and_wait_until(uint64_t readyAtNs);

    std::function<ScreenOrigin()> origin_;
    XConnection x_;
    bool xtest_ = false;

    std::mutex lock_;
    std::optional<XkbKeySymbols> symbols_;
    bool symbolsStale_ = false;  // someone else changed the keymap
    uint8_t group_ = 0;          // the active XKB group
    std::optional<SpareKeyPool> spareKeys_;
    std::vector<HeldKey> heldKeys_;
    std::optional<std::pair<int16_t, int16_t>> lastPosition_;
};

}  // namespace x11
