#pragma once

#include <functional>

#include "platform/display_choice.h"

// The capture stream on an X server, as the X11 backend offers it.
namespace x11 {

struct Capture;
Capture* start_capture();
void stop_capture(Capture* stream, std::function<void(const char* error)> done);
// Where the captured monitor sits on the root window, where input goes.
ScreenOrigin display_origin(const Capture* stream);

}  // namespace x11
