#pragma once

#include <functional>

#include "platform/display_choice.h"

// The capture stream on an X server, as the X11 backend offers it.
namespace x11 {

struct CaptureStream;
CaptureStream* start_capture_stream();
void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done);
// Where the captured monitor sits on the root window, where input goes.
ScreenOrigin display_origin(const CaptureStream* stream);

}  // namespace x11
