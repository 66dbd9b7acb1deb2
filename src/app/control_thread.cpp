#include "app/control_thread.h"

#include <cstdio>

#include "capture/capture_config.h"
#include "capture/frame_store.h"
#include "input/control_loop.h"
#include "platform/clock.h"
#include "platform/failure_exit.h"
#include "platform/stdin_watch.h"

namespace {

constexpr int kFramePollMs = 50;

// A capture that started and never sends a picture (a desktop whose session
// manager is not running never links its PipeWire stream) would leave the
// controller with a helper that neither streams nor stops. Every desktop here
// sends its first picture at once, a still one too.
constexpr uint64_t kFirstPictureTimeoutNs = uint64_t{kFirstPictureTimeoutSeconds} * 1'000'000'000;

[[noreturn]] void give_up_on_first_picture() {
    report_no_first_picture("");
    exit_on_failure();
}

// Waits for the first frame, watching stdin: a controller that gives up
// before any frame arrived must still end the program. Returns false on
// hang-up.
bool wait_for_first_frame() {
    const uint64_t deadline = monotonic_now_ns() + kFirstPictureTimeoutNs;
    while (!frame_dims_known()) {
        if (stdin_hung_up(kFramePollMs)) return frame_dims_known();
        if (monotonic_now_ns() >= deadline && !frame_dims_known()) give_up_on_first_picture();
    }
    return true;
}

}  // namespace

void* control_thread(void*) {
    if (wait_for_first_frame()) {
        control_loop();
    } else {
        fputs("[ctrl] stdin closed before the first frame, control loop exiting\n", stderr);
    }
    return nullptr;
}
