#pragma once

#include <functional>

// The capture stream on ScreenCaptureKit, as the macOS backend offers it.
namespace macos {

struct Capture;
// Null once its failure lines are written.
Capture* start_capture();
void stop_capture(Capture* stream, std::function<void(const char* error)> done);

}  // namespace macos
