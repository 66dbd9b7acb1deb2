// A backend for the test-only executable: a synthetic display whose capture
// and stop behave as FAKE_CAPTURE says, and input that goes nowhere.
//   FAKE_CAPTURE=still       one picture, then a still screen (default)
//   FAKE_CAPTURE=none        no picture ever arrives
//   FAKE_CAPTURE=stop-error  the stop reports an error
//   FAKE_CAPTURE=stop-hang   the stop never completes

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "capture/capture_config.h"
#include "capture/capture_stream.h"
#include "capture/frame_store.h"
#include "input/accessibility.h"
#include "input/event_poster.h"

struct CaptureStream {
    std::string mode;
};

CaptureStream* g_stream = nullptr;

CaptureStream* start_capture_stream() {
    static CaptureStream stream{getenv("FAKE_CAPTURE") ? getenv("FAKE_CAPTURE") : "still"};
    fprintf(stderr, kDisplayLine, 8u, 8u, 1u);
    if (stream.mode != "none") {
        std::thread([] {
            const std::vector<uint8_t> picture(8 * 8 * 4, 0x80);
            store_frame(picture.data(), 8, 8, 8 * 4);
        }).detach();
    }
    fputs(kStartedLine, stderr);
    return &stream;
}

void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done) {
    if (stream->mode != "stop-hang") done(stream->mode == "stop-error" ? "synthetic stop failure" : nullptr);
}

void post_event(const InputEvent&) {}
void settle_posted_events() {}
bool accessibility_trusted() { return true; }
bool accessibility_trusted_with_prompt() { return true; }
