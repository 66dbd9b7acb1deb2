// The platform seams on Linux: each one goes to the backend chosen at the
// first call, Wayland when the compositor offers what it needs, else X11.

#include <iterator>

#include "app/linux/linux_backend.h"
#include "capture/capture_stream.h"
#include "input/accessibility.h"
#include "input/event_poster.h"

namespace {

const LinuxBackendEntry* const kBackends[] = {&kWaylandBackend, &kX11Backend};

LinuxBackend& chosen() {
    static const std::unique_ptr<LinuxBackend> backend = [] {
        for (const LinuxBackendEntry* candidate : kBackends) {
            if (candidate->usable()) return candidate->make();
        }
        // Nothing answers: the last one tries anyway and says why it cannot.
        return kBackends[std::size(kBackends) - 1]->make();
    }();
    return *backend;
}

}  // namespace

struct CaptureStream {
    void* backendStream;
};

CaptureStream* g_stream = nullptr;

CaptureStream* start_capture_stream() {
    void* stream = chosen().start_capture();
    return stream ? new CaptureStream{stream} : nullptr;  // lives until the process ends
}

void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done) {
    if (!stream) {
        done(nullptr);  // nothing was started
        return;
    }
    chosen().stop_capture(stream->backendStream, std::move(done));
}

void post_event(const InputEvent& event) { chosen().post_event(event); }

void settle_posted_events() { chosen().settle_posted_events(); }

// Neither X nor Wayland has a permission to prompt for.
bool accessibility_trusted_with_prompt() { return chosen().input_permitted(); }

bool accessibility_trusted() { return chosen().input_permitted(); }
