#include "platform/x11/x_connection.h"

XConnection open_x_connection() {
    XConnection x;
    x.conn.reset(xcb_connect(nullptr, &x.screenNumber));
    if (xcb_connection_has_error(x.conn.get())) {
        x.conn.reset();
        return x;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(x.conn.get()));
    for (int i = 0; i < x.screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) {
        x.status = XConnection::Status::noScreen;
        return x;
    }
    x.screen = screens.data;
    x.status = XConnection::Status::ok;
    return x;
}
