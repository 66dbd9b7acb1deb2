#pragma once

#include <poll.h>
#include <xcb/res.h>
#include <xcb/xcb.h>

#include <memory>

#include "e2e/helper.h"
#include "e2e/xvfb.h"
#include "support/child.h"

template <typename T>
std::unique_ptr<T, decltype(&free)> own(T* reply) {
    return {reply, &free};
}

// The test's own client of a private X server: paints known colours, moves
// the pointer, and owns a focused window that records the input it receives.
class XClient {
public:
    explicit XClient(const std::string& display)
        : display_(display), c_(xcb_connect(display.c_str(), nullptr)), screen_(xcb_setup_roots_iterator(xcb_get_setup(c_)).data) {}
    ~XClient() { xcb_disconnect(c_); }

    const std::string& display() const { return display_; }

    // An unmanaged window filled with 0xRRGGBB, drawn by the time this returns.
    void fill(int x, int y, int width, int height, uint32_t rgb) { window(x, y, width, height, XCB_CW_BACK_PIXEL, rgb); }
    void warp(int x, int y) { xcb_warp_pointer(c_, XCB_NONE, screen_->root, 0, 0, 0, 0, int16_t(x), int16_t(y)), sync(); }
    std::pair<int, int> pointer() {
        auto r = own(xcb_query_pointer_reply(c_, xcb_query_pointer(c_, screen_->root), nullptr));
        return r ? std::pair{int{r->root_x}, int{r->root_y}} : std::pair{-1, -1};
    }
    // Adds the primary RandR monitor, through xrandr, whose monitors stay.
    bool add_monitor(int x, int y, int width, int height) {
        char geometry[64];  // in pixels and millimetres
        snprintf(geometry, sizeof geometry, "%d/%dx%d/%d+%d+%d", width, width / 4, height, height / 4, x, y);
        return system(("DISPLAY=" + display_ + " xrandr --setmonitor '*TEST' " + geometry + " none").c_str()) == 0;
    }
    std::vector<uint32_t> keymap() {
        const xcb_setup_t* s = xcb_get_setup(c_);
        auto r = own(xcb_get_keyboard_mapping_reply(
            c_, xcb_get_keyboard_mapping(c_, s->min_keycode, uint8_t(s->max_keycode - s->min_keycode + 1)), nullptr));
        if (!r) return {};
        perKeycode_ = r->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
        return keymap_ = {syms, syms + xcb_get_keyboard_mapping_keysyms_length(r.get())};
    }
    int root_height() const { return screen_->height_in_pixels; }
    std::pair<int, int> size(xcb_window_t w) {
        auto g = own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
        return g ? std::pair{int{g->width}, int{g->height}} : std::pair{0, 0};
    }
    // A window's pixels as the server has them, 4 bytes each; the root window's by default.
    Bytes pixels(xcb_window_t w = XCB_NONE) {
        const auto [width, height] = size(w = w ? w : screen_->root);
        auto r = own(xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, uint16_t(width), uint16_t(height), ~0u),
            nullptr));
        return r ? Bytes(xcb_get_image_data(r.get()), xcb_get_image_data(r.get()) + xcb_get_image_data_length(r.get()))
                 : Bytes{};
    }
    void own_selection(const std::string& name) {
        xcb_set_selection_owner(c_, screen_->root, atom(name), XCB_CURRENT_TIME), sync();
    }
    // What a window manager sends when the user closes a window.
    void close(xcb_window_t w) {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE, e.format = 32, e.window = w, e.type = atom("WM_PROTOCOLS");
        e.data.data32[0] = atom("WM_DELETE_WINDOW"), e.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c_);
    }
    // The Caps Lock light, which the server keeps with the lock (as `xset q` shows it).
    bool caps_lock_on() {
        auto r = own(xcb_get_keyboard_control_reply(c_, xcb_get_keyboard_control(c_), nullptr));
        return r && (r->led_mask & 1);
    }
    int client_count() {
        auto r = own(xcb_res_query_clients_reply(c_, xcb_res_query_clients(c_), nullptr));
        return r ? int(r->num_clients) : -1;
    }

    // A window over the whole screen with the keyboard focus; then the input it gets.
    void open_input_window() {
        const xcb_window_t w = window(0, 0, screen_->width_in_pixels, screen_->height_in_pixels, XCB_CW_EVENT_MASK,
                                      XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                          XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE);
        xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
        keymap();
        sync();
    }
    struct Event {
        uint8_t type;     // XCB_KEY_PRESS, XCB_BUTTON_RELEASE, ...
        uint8_t detail;   // keycode or button
        uint32_t keysym;  // key events: under the keymap of that moment, Shift honoured
        int16_t x, y;
    };
    std::optional<Event> next_event(std::chrono::milliseconds timeout = 5s) {
        for (auto end = std::chrono::steady_clock::now() + timeout;;) {
            while (auto e = own(xcb_poll_for_event(c_))) {
                const uint8_t type = e->response_type & 0x7F;
                // The keymap a real client would use: read again when the server says it changed.
                if (type == XCB_MAPPING_NOTIFY) keymap();
                if (type < XCB_KEY_PRESS || type > XCB_BUTTON_RELEASE) continue;
                const auto* k = reinterpret_cast<const xcb_key_press_event_t*>(e.get());
                const size_t row = size_t(k->detail - xcb_get_setup(c_)->min_keycode) * perKeycode_;
                uint32_t keysym = 0;
                if (type <= XCB_KEY_RELEASE && row + 1 < keymap_.size()) {
                    keysym = (k->state & XCB_MOD_MASK_SHIFT) && keymap_[row + 1] ? keymap_[row + 1] : keymap_[row];
                }
                return Event{type, k->detail, keysym, k->event_x, k->event_y};
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd fd{xcb_get_file_descriptor(c_), POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, int(left.count())) < 0) return std::nullopt;
        }
    }

private:
    xcb_atom_t atom(const std::string& name) {
        auto r = own(xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(name.size()), name.c_str()), nullptr));
        return r ? r->atom : XCB_NONE;
    }
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    xcb_window_t window(int x, int y, int width, int height, uint32_t mask, uint32_t value) {
        const xcb_window_t w = xcb_generate_id(c_);
        // Values go in the order of their mask bits; override-redirect is 1.
        const uint32_t values[] = {mask < XCB_CW_OVERRIDE_REDIRECT ? value : 1, mask < XCB_CW_OVERRIDE_REDIRECT ? 1 : value};
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, int16_t(x), int16_t(y), uint16_t(width),
                          uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                          mask | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c_, w);
        sync();
        return w;
    }

    std::string display_;
    xcb_connection_t* c_;
    xcb_screen_t* screen_;
    std::vector<uint32_t> keymap_;
    uint8_t perKeycode_ = 0;
};

// The helper on a server, never on a Wayland compositor the tests run under.
inline std::map<std::string, std::string> on(const Xvfb& server) { return {{"DISPLAY", server.display()}, {"WAYLAND_DISPLAY", ""}}; }
