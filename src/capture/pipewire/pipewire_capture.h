#pragma once

#include <cstdint>
#include <functional>

#include "capture/capture_stream.h"
#include "platform/unique_fd.h"

// The capture stream from a desktop's screen cast, a PipeWire video stream,
// as the remote-desktop backends give it.
namespace pipewire {

struct CaptureStream;

// Streams node `node` into the frame store, reached through `remote` (a
// connection the portal opened) or, when that is not valid, the user's
// PipeWire daemon. Returns once the first picture is stored; null, with the
// failure lines written, when none comes.
CaptureStream* start_capture_stream(UniqueFd remote, uint32_t node);
void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done);

}  // namespace pipewire
