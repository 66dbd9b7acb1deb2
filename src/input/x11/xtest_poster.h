#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "input/input_event.h"
#include "input/spare_key_pool.h"
#include "input/x11/xkb_keyboard.h"
#include "input/xkb_key_symbols.h"
#include "platform/display_choice.h"
#include "platform/x11/x_connection.h"

namespace x11 {

// Posts input events into the X session through XTEST, on a connection of
// its own (capture keeps another), opened when the poster is made. Keys type
// their US symbols where the keyboard has them; characters it lacks go on
// keys without symbols, lent to them for a while.
//
// A lent key may take another character only once clients have read the
// last one, so a burst of new characters may have to wait for keys. Events
// therefore go through a queue, in order, to a thread of the poster's own:
// whoever posts never waits, and what follows waiting text waits with it.
class XTestPoster {
public:
    // `origin` says where the captured display sits on the root window, so
    // that frame positions land where they were seen.
    explicit XTestPoster(std::function<ScreenOrigin()> origin);
    ~XTestPoster();
    XTestPoster(const XTestPoster&) = delete;
    XTestPoster& operator=(const XTestPoster&) = delete;

    // X has no permission to grant: input can be posted when XTEST is there.
    bool permitted() const { return xtest_; }
    // Queues the event; safe from any thread.
    void post(const InputEvent& event);
    // Input is ending: posts what is queued, giving up on characters that
    // would still wait for a key after a short while, gives back the lent
    // keys once clients have read them, and returns when the server has
    // handled every request, so that nothing is lost when the process ends.
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

    // The poster's thread: everything below it runs there.
    void run();
    // Whether the queue's first event can go out now; when not, `waitUntil`
    // says until when its text must wait for a key.
    bool head_ready(std::optional<uint64_t>* waitUntil);
    // Gives ready keys to the text presses queued from the head on, in one
    // change of the keymap for each run of neighbouring keys.
    void map_upcoming_text(uint64_t nowNs);
    std::optional<uint32_t> spare_symbol_needed(const InputEvent& event);
    void give_back_keys(std::unique_lock<std::mutex>& guard);
    void set_key_symbols(std::vector<SpareKeyPool::Assignment> keys);
    // Whether keys [first, first + count) are all spare keys of ours.
    bool owns_all(uint8_t first, uint8_t count) const;

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
    void drain_events();

    std::function<ScreenOrigin()> origin_;
    XConnection x_;
    bool xtest_ = false;

    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<InputEvent> queue_;
    bool ending_ = false;        // settle() asked for what is queued to go out
    uint64_t endByNs_ = 0;       // ...and for text to stop waiting for keys then
    bool settled_ = false;       // the poster's thread has done so
    bool quit_ = false;
    size_t droppedText_ = 0;     // characters given up on at the end
    std::thread thread_;

    XkbKeyboard keyboard_;
    std::optional<SpareKeyPool> spareKeys_;
    std::vector<HeldKey> heldKeys_;
    std::optional<std::pair<int16_t, int16_t>> lastPosition_;
};

}  // namespace x11
