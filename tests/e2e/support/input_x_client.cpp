#include "support/input_x_client.h"

#include <poll.h>
#include <xcb/randr.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&free)>;

template <typename T>
Reply<T> reply(T* r) {
    return Reply<T>(r, &free);
}

}  // namespace

InputXClient::InputXClient(const std::string& display) {
    int screenNumber = 0;
    conn_ = xcb_connect(display.c_str(), &screenNumber);
    if (xcb_connection_has_error(conn_)) {
        xcb_disconnect(conn_);
        conn_ = nullptr;
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    root_ = screen->root;
    width_ = screen->width_in_pixels;
    height_ = screen->height_in_pixels;
    refresh_keymap();
}

InputXClient::~InputXClient() {
    if (conn_) xcb_disconnect(conn_);
}

std::pair<int, int> InputXClient::pointer() {
    auto r = reply(xcb_query_pointer_reply(conn_, xcb_query_pointer(conn_, root_), nullptr));
    return r ? std::pair{int{r->root_x}, int{r->root_y}} : std::pair{-1, -1};
}

bool InputXClient::wait_for_pointer(int x, int y, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (pointer() == std::pair{x, y}) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return pointer() == std::pair{x, y};
}

void InputXClient::open_window() {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data;
    window_ = xcb_generate_id(conn_);
    const uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, root_, 0, 0, width_, height_, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(conn_, window_);
    xcb_set_input_focus(conn_, XCB_INPUT_FOCUS_POINTER_ROOT, window_, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr));  // all done
}

void InputXClient::refresh_keymap() {
    const xcb_setup_t* setup = xcb_get_setup(conn_);
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto r = reply(xcb_get_keyboard_mapping_reply(conn_, xcb_get_keyboard_mapping(conn_, setup->min_keycode, count),
                                                  nullptr));
    if (!r) return;
    perKeycode_ = r->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
    keymap_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r.get()));
}

std::vector<uint32_t> InputXClient::keymap() {
    refresh_keymap();
    return keymap_;
}

bool InputXClient::wait_for_keymap(const std::vector<uint32_t>& expected, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (keymap() != expected) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

uint32_t InputXClient::keysym_of(uint8_t keycode, uint16_t state) const {
    const size_t row = size_t(keycode - xcb_get_setup(conn_)->min_keycode) * perKeycode_;
    if (row + 1 >= keymap_.size() || perKeycode_ < 2) return row < keymap_.size() ? keymap_[row] : 0;
    // Shifted: the second symbol, or the first where the key has no second.
    const uint32_t shifted = keymap_[row + 1];
    return (state & XCB_MOD_MASK_SHIFT) && shifted ? shifted : keymap_[row];
}

std::optional<InputXClient::Event> InputXClient::next_event(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (auto* raw = xcb_poll_for_event(conn_)) {
            auto e = reply(raw);
            const uint8_t type = e->response_type & 0x7F;
            if (type == XCB_MAPPING_NOTIFY) {
                // Read the new keymap now, as a real client does when it handles this.
                refresh_keymap();
            } else if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
                const auto* k = reinterpret_cast<const xcb_key_press_event_t*>(e.get());
                return Event{type, k->detail, keysym_of(k->detail, k->state), k->event_x, k->event_y};
            } else if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE) {
                const auto* b = reinterpret_cast<const xcb_button_press_event_t*>(e.get());
                return Event{type, b->detail, 0, b->event_x, b->event_y};
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd fd{xcb_get_file_descriptor(conn_), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

bool InputXClient::add_primary_monitor(int16_t x, int16_t y, uint16_t width, uint16_t height) {
    // Monitors are a RandR 1.5 request; the server wants to hear the version first.
    free(xcb_randr_query_version_reply(conn_, xcb_randr_query_version(conn_, 1, 5), nullptr));
    const char* name = "input-test";
    auto atom = reply(xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, strlen(name), name), nullptr));
    if (!atom) return false;
    xcb_randr_monitor_info_t info{};
    info.name = atom->atom;
    info.primary = 1;
    info.x = x;
    info.y = y;
    info.width = width;
    info.height = height;
    info.width_in_millimeters = width;
    info.height_in_millimeters = height;
    // Ours is to be the only primary one: the others step down.
    if (auto monitors = reply(xcb_randr_get_monitors_reply(conn_, xcb_randr_get_monitors(conn_, root_, 0), nullptr))) {
        for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
            if (it.data->name != atom->atom) xcb_randr_delete_monitor(conn_, root_, it.data->name);
        }
    }
    // An output's own monitor cannot go; it stops being primary with its output.
    xcb_randr_set_output_primary(conn_, root_, XCB_NONE);
    // Xvfb now and then refuses the first try with BadLength; a retry goes through.
    for (int attempt = 0; attempt < 5; ++attempt) {
        xcb_generic_error_t* error = xcb_request_check(conn_, xcb_randr_set_monitor_checked(conn_, root_, &info));
        if (!error) return true;
        free(error);
    }
    return false;
}
