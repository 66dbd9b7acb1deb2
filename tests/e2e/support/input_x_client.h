#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A test's own client of the private X server: a window that records the
// input it receives, and questions about the pointer and the keymap.
class InputXClient {
public:
    explicit InputXClient(const std::string& display);
    ~InputXClient();
    InputXClient(const InputXClient&) = delete;
    InputXClient& operator=(const InputXClient&) = delete;

    bool ok() const { return conn_ != nullptr; }

    std::pair<int, int> pointer();
    // Waits until the pointer is at (x, y); false if it never gets there.
    bool wait_for_pointer(int x, int y, std::chrono::milliseconds timeout);

    // A window over the whole screen that has the keyboard focus.
    void open_window();

    struct Event {
        uint8_t type;       // XCB_KEY_PRESS, XCB_BUTTON_RELEASE, ...
        uint8_t detail;     // keycode or button
        uint32_t keysym;    // key events: the symbol under the keymap of that moment
        int16_t x, y;       // position in the window
    };
    // The next key or button event, if one comes in time.
    std::optional<Event> next_event(std::chrono::milliseconds timeout);

    // Every keysym of every keycode, as the server has them now.
    std::vector<uint32_t> keymap();
    // Waits until the keymap is `expected` again.
    bool wait_for_keymap(const std::vector<uint32_t>& expected, std::chrono::milliseconds timeout);

    // Adds a primary RandR monitor; false where the server cannot.
    bool add_primary_monitor(int16_t x, int16_t y, uint16_t width, uint16_t height);

private:
    void refresh_keymap();
    uint32_t keysym_of(uint8_t keycode, uint16_t state) const;

    xcb_connection_t* conn_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_window_t window_ = 0;
    uint16_t width_ = 0, height_ = 0;
    std::vector<uint32_t> keymap_;
    uint8_t perKeycode_ = 0;
};
