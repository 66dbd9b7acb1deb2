#include "app/shutdown_monitor.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "capture/capture_stream.h"
#include "capture/frame_writer.h"
#include "platform/stderr_relay.h"

namespace {

using Clock = std::chrono::steady_clock;

// The whole end, from stdin closed to the exit, takes no longer than this.
constexpr auto kStopTimeout = std::chrono::seconds(2);
// What the log gets even when the stop used up the rest.
constexpr auto kLastLinesTime = std::chrono::milliseconds(250);

// Signalled by the stop's completion, which may come after we have given up
// waiting: it is shared, so a late completion still has something to signal.
struct StopSignal {
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
};

void stop_capture(Clock::time_point by) {
    auto signal = std::make_shared<StopSignal>();
    g_stream->stop([signal](const char* error) {
        if (error) {
            fprintf(stderr, "[capture] stopCapture error: %s\n", error);
        } else {
            fputs("[capture] SCStream stopped cleanly\n", stderr);
        }
        std::lock_guard<std::mutex> guard(signal->lock);
        signal->done = true;
        signal->cv.notify_all();
    });
    std::unique_lock<std::mutex> guard(signal->lock);
    signal->cv.wait_until(guard, by, [&] { return signal->done; });
}

}  // namespace

void* shutdown_monitor_thread(void* controlThread) {
    pthread_join(*static_cast<pthread_t*>(controlThread), nullptr);
    const Clock::time_point by = Clock::now() + kStopTimeout;
    fputs("[capture] stdin closed, stopping SCStream...\n", stderr);
    // A reader that reads to the end of the stream sees whole frames only.
    finish_frame_writer(by);
    stop_capture(by);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(by - Clock::now());
    flush_stderr_relay(static_cast<int>(std::max(left, kLastLinesTime).count()));
    _exit(0);
}
