#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_choice.h"

// What the X server offers to capture: the RandR monitors of the screen,
// clipped to its root window, or the whole root window when RandR lists
// none. The main display is the primary monitor (0 when there is none).
struct X11Displays {
    std::vector<DisplayInfo> displays;
    uint32_t mainId = 0;
};
X11Displays list_x11_displays(xcb_connection_t* conn, const xcb_screen_t* screen);

// Whether the root window's pixels arrive as BGRA as they are (32 bits per
// pixel, TrueColor with red 0xff0000, green 0xff00, blue 0xff, least
// significant byte first). Otherwise `why` describes the visual.
bool root_pixels_are_bgra(xcb_connection_t* conn, const xcb_screen_t* screen, std::string* why);
