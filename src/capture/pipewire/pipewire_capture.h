#pragma once

#include <cstdint>
#include <functional>

#include <string>

#include "platform/unique_fd.h"

// The capture stream from a desktop's screen cast, a PipeWire video stream,
// as the remote-desktop backends give it.
namespace pipewire {

struct Capture;

// Streams node `node` into the frame store, reached through `remote` (a
// connection the portal opened) or, when that is not valid, the user's
// PipeWire daemon. Returns once the first picture is stored; null, with the
// failure lines written, when none comes (within kFirstPictureTimeoutSeconds).
Capture* start_capture(UniqueFd remote, uint32_t node);
void stop_capture(Capture* stream, std::function<void(const char* error)> done);

}  // namespace pipewire
