#include "e2e/x_client.h"

#include <poll.h>
#include <xcb/res.h>

#include <cstdlib>
#include <memory>

namespace {

template <typename T>
std::unique_ptr<T, decltype(&free)> own(T* reply) {
    return {reply, &free};
}

}  // namespace

XClient::XClient(const std::string& display) : display_(display), c_(xcb_connect(display.c_str(), nullptr)) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
}

void XClient::fill(int x, int y, int width, int height, uint32_t rgb) {
    const xcb_window_t w = xcb_generate_id(c_);
    const uint32_t values[] = {rgb, 1};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, int16_t(x), int16_t(y), uint16_t(width),
                      uint16_t(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(c_, w);
    sync();
}

void XClient::set_root(uint32_t rgb) {
    xcb_change_window_attributes(c_, screen_->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(c_, 0, screen_->root, 0, 0, 0, 0);
    sync();
}

void XClient::warp(int x, int y) {
    xcb_warp_pointer(c_, XCB_NONE, screen_->root, 0, 0, 0, 0, int16_t(x), int16_t(y));
    sync();
}

std::pair<int, int> XClient::pointer() {
    auto r = own(xcb_query_pointer_reply(c_, xcb_query_pointer(c_, screen_->root), nullptr));
    return r ? std::pair{int{r->root_x}, int{r->root_y}} : std::pair{-1, -1};
}

bool XClient::add_monitor(int x, int y, int width, int height) {
    const std::string geometry = std::to_string(width) + "/" + std::to_string(width / 4) + "x" +
                                 std::to_string(height) + "/" + std::to_string(height / 4) + "+" +
                                 std::to_string(x) + "+" + std::to_string(y);
    return system(("DISPLAY=" + display_ + " xrandr --setmonitor '*TEST' " + geometry + " none").c_str()) == 0;
}

std::vector<uint32_t> XClient::keymap() {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    auto r = own(xcb_get_keyboard_mapping_reply(
        c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, uint8_t(setup->max_keycode - setup->min_keycode + 1)),
        nullptr));
    if (!r) return {};
    perKeycode_ = r->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
    return keymap_ = {syms, syms + xcb_get_keyboard_mapping_keysyms_length(r.get())};
}

int XClient::client_count() {
    auto r = own(xcb_res_query_clients_reply(c_, xcb_res_query_clients(c_), nullptr));
    return r ? int(r->num_clients) : -1;
}

void XClient::open_input_window() {
    const xcb_window_t w = xcb_generate_id(c_);
    const uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, screen_->root, 0, 0, screen_->width_in_pixels,
                      screen_->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c_, w);
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    keymap();
    sync();
}

std::optional<XClient::Event> XClient::next_event(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (auto e = own(xcb_poll_for_event(c_))) {
            const uint8_t type = e->response_type & 0x7F;
            // The keymap a real client would use: re-read when the server says it changed.
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
