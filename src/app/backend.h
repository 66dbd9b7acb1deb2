#pragma once

#include <memory>

#include "capture/capture_stream.h"
#include "input/event_poster.h"

// One way to reach a desktop: its capture, its input and whether input may
// be posted (EventPoster::input_permitted), in one object that lives until
// the process ends. Each platform builds it with make_backend(); the core
// never asks which one runs.
class Backend : public CaptureStream, public EventPoster {};

// The platform's backend: macOS's and Windows's own, Linux's the first of
// its table that answers (or the one SCREENSHARE_HELPER_BACKEND names).
std::unique_ptr<Backend> make_backend();
