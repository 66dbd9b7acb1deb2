#include "input/x11/xtest_connection.h"

#include <xcb/xtest.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

std::once_flag g_openOnce;
std::unique_ptr<xcb_connection_t, Disconnect> g_conn;
XInputConnection g_input;

void open_connection() {
    int screenNumber = 0;
    g_conn.reset(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(g_conn.get())) {
        fputs("[ctrl] ERROR: cannot connect to the X server for input\n", stderr);
        g_conn.reset();
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(g_conn.get()));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        g_conn.reset();
        return;
    }
    g_input.conn = g_conn.get();
    g_input.root = it.data->root;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(g_input.conn, &xcb_test_id);
    g_input.xtest = ext && ext->present;
}

}  // namespace

const XInputConnection* x_input_connection() {
    std::call_once(g_openOnce, open_connection);
    return g_input.conn ? &g_input : nullptr;
}
