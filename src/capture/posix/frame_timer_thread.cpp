// The frame timer as a POSIX thread sleeping to absolute deadlines on the
// monotonic clock: never early, never drifting.

#include <pthread.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/frame_timer.h"
#include "platform/clock.h"

namespace {

struct TimerConfig {
    uint64_t intervalNs;
    void (*tick)();
};
TimerConfig g_timer;

void sleep_until_ns(uint64_t deadline) {
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(deadline / 1'000'000'000ull);
    ts.tv_nsec = static_cast<long>(deadline % 1'000'000'000ull);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void* timer_thread(void*) {
    uint64_t next = monotonic_now_ns();
    for (;;) {
        sleep_until_ns(next);
        g_timer.tick();
        next += g_timer.intervalNs;
        // A tick that overran by whole intervals folds those expiries into
        // the next one instead of firing a burst; the grid stays put.
        const uint64_t now = monotonic_now_ns();
        if (now > next) next += (now - next) / g_timer.intervalNs * g_timer.intervalNs;
    }
    return nullptr;
}

}  // namespace

bool start_frame_timer(uint64_t interval_ns, uint64_t /*leeway_ns*/, void (*tick)()) {
    g_timer = TimerConfig{interval_ns, tick};
    pthread_t thread;
    const int rc = pthread_create(&thread, nullptr, timer_thread, nullptr);
    if (rc != 0) {
        fprintf(stderr, "[capture] ERROR: could not start the frame writer: %s\n", strerror(rc));
        return false;
    }
    pthread_detach(thread);
    return true;
}
