#include "support/x_test_client.h"

#include <xcb/randr.h>
#include <xcb/res.h>

#include <cstdlib>

XTestClient::XTestClient(const std::string& display) : display_(display) {
    int screenNumber = 0;
    conn_ = xcb_connect(display.c_str(), &screenNumber);
    if (xcb_connection_has_error(conn_)) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    screen_ = it.data;
}

XTestClient::~XTestClient() {
    if (conn_) xcb_disconnect(conn_);
}

void XTestClient::sync() { free(xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr)); }

int XTestClient::client_count() {
    xcb_res_query_clients_reply_t* reply = xcb_res_query_clients_reply(conn_, xcb_res_query_clients(conn_), nullptr);
    if (!reply) return -1;
    const int count = static_cast<int>(reply->num_clients);
    free(reply);
    return count;
}

void XTestClient::fill_rect(int x, int y, int width, int height, uint32_t rgb) {
    const xcb_window_t window = xcb_generate_id(conn_);
    const uint32_t values[] = {rgb, 1};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window, screen_->root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), static_cast<uint16_t>(width), static_cast<uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(conn_, window);
    sync();
}

void XTestClient::set_root_colour(uint32_t rgb) {
    xcb_change_window_attributes(conn_, screen_->root, XCB_CW_BACK_PIXEL, &rgb);
    xcb_clear_area(conn_, 0, screen_->root, 0, 0, 0, 0);
    sync();
}

void XTestClient::move_pointer(int x, int y) {
    xcb_warp_pointer(conn_, XCB_NONE, screen_->root, 0, 0, 0, 0, static_cast<int16_t>(x), static_cast<int16_t>(y));
    sync();
}

bool XTestClient::has_monitor(xcb_atom_t name) {
    free(xcb_randr_query_version_reply(conn_, xcb_randr_query_version(conn_, 1, 5), nullptr));
    xcb_randr_get_monitors_reply_t* reply =
        xcb_randr_get_monitors_reply(conn_, xcb_randr_get_monitors(conn_, screen_->root, 1), nullptr);
    if (!reply) return false;
    bool found = false;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply); it.rem; xcb_randr_monitor_info_next(&it)) {
        found = found || it.data->name == name;
    }
    free(reply);
    return found;
}

bool XTestClient::add_monitor(const std::string& name, int x, int y, int width, int height, bool primary) {
    // Monitors that a client sets through the RandR request do not stay on a
    // fresh Xvfb, while xrandr's do: let xrandr set it.
    const std::string command = "DISPLAY=" + display_ + " xrandr --setmonitor '" + (primary ? "*" : "") + name +
                                "' " + std::to_string(width) + "/" + std::to_string(width / 4) + "x" +
                                std::to_string(height) + "/" + std::to_string(height / 4) + "+" + std::to_string(x) +
                                "+" + std::to_string(y) + " none";
    if (system(command.c_str()) != 0) return false;
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
    if (!atom) return false;
    const bool found = has_monitor(atom->atom);
    free(atom);
    return found;
}
