#pragma once

#include <functional>


// The capture stream on a wlroots compositor, through its screen-copy
// protocol, as the Wayland backend offers it.
namespace wayland {

struct Capture;
Capture* start_capture();
void stop_capture(Capture* stream, std::function<void(const char* error)> done);

}  // namespace wayland
