#pragma once

#include <xcb/xcb.h>

// The input side's own connection to the X server (capture keeps its own):
// opened on first use from $DISPLAY, kept for the whole run.
struct XInputConnection {
    xcb_connection_t* conn = nullptr;
    xcb_window_t root = 0;
    bool xtest = false;  // the XTEST extension is there, so input can be posted
};

// Nullptr when no X server can be reached.
const XInputConnection* x_input_connection();
