#include "app/shutdown_monitor.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "capture/capture_stream.h"

namespace {

constexpr auto kStopTimeout = std::chrono::seconds(2);

// Signalled by the stop's completion, which may come after we have given up
// waiting: it is shared, so a late completion still has something to signal.
struct StopSignal {
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
};

}  // namespace

void* shutdown_monitor_thread(void* controlThread) {
    pthread_join(*static_cast<pthread_t*>(controlThread), nullptr);
    fputs("[capture] stdin closed, stopping SCStream...\n", stderr);

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

    {
        std::unique_lock<std::mutex> guard(signal->lock);
        signal->cv.wait_for(guard, kStopTimeout, [&] { return signal->done; });
    }
    _exit(0);
}
