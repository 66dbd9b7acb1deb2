#pragma once

#include <functional>

#include "capture/capture_stream.h"

// The capture stream on a wlroots compositor, through its screen-copy
// protocol, as the Wayland backend offers it.
namespace wayland {

struct CaptureStream;
CaptureStream* start_capture_stream();
void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done);

}  // namespace wayland
