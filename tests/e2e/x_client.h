#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/child.h"
#include "e2e/xvfb.h"

// The test's own client of a private X server: paints known colours, moves
// the pointer, and owns a focused window that records the input it receives.
class XClient {
public:
    explicit XClient(const std::string& display);
    ~XClient() { xcb_disconnect(c_); }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool ok() const { return !xcb_connection_has_error(c_); }
    // An unmanaged window filled with 0xRRGGBB, drawn by the time this returns.
    void fill(int x, int y, int width, int height, uint32_t rgb);
    void set_root(uint32_t rgb);
    void warp(int x, int y);
    std::pair<int, int> pointer();
    // Adds the primary RandR monitor (through xrandr, whose monitors stay).
    bool add_monitor(int x, int y, int width, int height);
    std::vector<uint32_t> keymap();
    int client_count();

    // A window over the whole screen with the keyboard focus; then the input it gets.
    void open_input_window();
    struct Event {
        uint8_t type;     // XCB_KEY_PRESS, XCB_BUTTON_RELEASE, ...
        uint8_t detail;   // keycode or button
        uint32_t keysym;  // key events: under the keymap of that moment, Shift honoured
        int16_t x, y;
    };
    std::optional<Event> next_event(std::chrono::milliseconds timeout = 5s);

private:
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

    std::string display_;
    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    std::vector<uint32_t> keymap_;
    uint8_t perKeycode_ = 0;
};

// The real helper, at 30 fps unless told, on `display`.
inline std::vector<std::string> helper_args(const std::string& fps = "30") { return {HELPER_PATH, fps}; }
inline std::map<std::string, std::string> on(const Xvfb& server) { return {{"DISPLAY", server.display()}}; }

inline Bytes move_to(uint16_t x, uint16_t y) { return {0x01, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)}; }
inline Bytes key(uint16_t vk, uint8_t action) { return {0x04, uint8_t(vk >> 8), uint8_t(vk), action}; }
inline Bytes text(uint32_t cp, uint8_t action) { return {0x05, uint8_t(cp >> 16), uint8_t(cp >> 8), uint8_t(cp), action}; }
