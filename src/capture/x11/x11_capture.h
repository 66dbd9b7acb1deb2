#pragma once

#include <functional>

#include "capture/capture_stream.h"

// The capture stream on an X server, as the X11 backend offers it.
namespace x11 {

struct CaptureStream;
CaptureStream* start_capture_stream();
void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done);
ScreenOrigin captured_display_origin();

}  // namespace x11
