// The platform seams on Linux: each one goes to the backend chosen at the
// first call: the one SCREENSHARE_HELPER_BACKEND names, else wlroots when
// the compositor offers what it needs, else the desktop portal on Wayland,
// else X11.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "app/linux/linux_backend.h"
#include "capture/capture_stream.h"
#include "input/accessibility.h"
#include "input/event_poster.h"

namespace {

const LinuxBackendEntry* const kBackends[] = {&kWaylandBackend, &kPortalBackend, &kMutterBackend, &kX11Backend};

constexpr const char* kUnknownBackendLine =
    "[capture] ERROR: SCREENSHARE_HELPER_BACKEND=%s names no backend (x11, wlroots, portal, mutter)\n";

// What a name that matches no backend gets: nothing starts, nothing is posted.
class NoBackend final : public LinuxBackend {
public:
    void* start_capture() override { return nullptr; }
    void stop_capture(void*, std::function<void(const char*)> done) override { done(nullptr); }
    void post_event(const InputEvent&) override {}
    void settle_posted_events() override {}
    bool input_permitted() override { return false; }
};

LinuxBackend& chosen() {
    static const std::unique_ptr<LinuxBackend> backend = []() -> std::unique_ptr<LinuxBackend> {
        // A backend asked for by name is the only one tried: it says why it cannot start.
        if (const char* forced = getenv("SCREENSHARE_HELPER_BACKEND"); forced && *forced) {
            for (const LinuxBackendEntry* candidate : kBackends) {
                if (strcmp(candidate->name, forced) == 0) return candidate->make();
            }
            fprintf(stderr, kUnknownBackendLine, forced);
            return std::make_unique<NoBackend>();
        }
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
