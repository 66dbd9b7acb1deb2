#pragma once

#include <xcb/xcb.h>

#include "platform/x11/xcb_handles.h"

// A connection to the X server that $DISPLAY names, with its screen found.
// Capture and input each open their own, so that neither waits behind the
// other's requests.
struct XConnection {
    XcbConnection conn;
    const xcb_screen_t* screen = nullptr;  // the display's default screen
    int screenNumber = 0;

    enum class Status { ok, noServer, noScreen };
    Status status = Status::noServer;
};

XConnection open_x_connection();
