#pragma once

#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "input/input_action.h"
#include "input/typist.h"
#include "input/typist_keyboard.h"
#include "input/x11/xkb_keyboard.h"
#include "input/xkb_key_symbols.h"
#include "platform/display_choice.h"
#include "platform/x11/x_connection.h"

namespace x11 {

// Posts input actions into the X session through XTEST, on a connection of
// its own (capture keeps another), opened when the poster is made: the
// keyboard a typist types on. Waiting text must not hold up whoever posts,
// so actions go through the typist's queue to a thread of the poster's own.
class XTestPoster final : private TypistKeyboard {
public:
    // `origin` says where the captured display sits on the root window, so
    // that frame positions land where they were seen.
    explicit XTestPoster(std::function<ScreenOrigin()> origin);
    ~XTestPoster() override;
    XTestPoster(const XTestPoster&) = delete;
    XTestPoster& operator=(const XTestPoster&) = delete;

    // X has no permission to grant: input can be posted when XTEST is there.
    bool permitted() const { return xtest_; }
    // Queues the actions; safe from any thread.
    void post(const InputActions& actions);
    // Input is ending: posts what is queued, giving up on text that would
    // still wait for a key after a short while (and on what is queued behind
    // it, but releases), gives back the lent keys once clients have read
    // them, and returns when the server has handled every request, so that
    // nothing is lost when the process ends.
    void settle();

private:
    // The poster's thread: everything below it runs there.
    void run();
    void finish(std::unique_lock<std::mutex>& guard);
    void drain_events();
    const XkbKeySymbols* symbols();

    // The keyboard, for the typist.
    std::vector<uint8_t> free_keys() override;
    std::optional<uint8_t> key_for(uint32_t keysym) override;
    uint32_t symbol_on(uint8_t key) override;
    uint64_t keymap_generation() override;
    void set_symbols(const std::vector<SpareKeyPool::Assignment>& keys) override;
    void press(uint8_t key, bool down) override;
    void post_pointer(const InputAction& action) override;
    // Returns once the server has handled every request made so far.
    void sync();

    xcb_connection_t* conn() const { return x_.conn.get(); }
    void fake(uint8_t type, uint8_t detail, int16_t rootX = 0, int16_t rootY = 0);

    std::function<ScreenOrigin()> origin_;
    XConnection x_;
    bool xtest_ = false;
    XkbKeyboard keyboard_;
    uint64_t generation_ = 0;       // counts the keymaps read
    std::bitset<256> changedByUs_;  // keys whose symbols we set

    std::mutex lock_;
    std::condition_variable changed_;
    Typist typist_;
    bool ending_ = false;   // settle() asked for what is queued to go out
    uint64_t endByNs_ = 0;  // ...and for text to stop waiting for keys then
    bool settled_ = false;  // the poster's thread has done so
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace x11
