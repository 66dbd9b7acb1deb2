// The frame timer as a thread waiting on a high-resolution waitable timer:
// deadlines on the performance counter's grid, each waited for relative to
// now, and never early: a wake before the deadline waits again.

#include <windows.h>
#include <timeapi.h>

#include <cstdio>
#include <string>
#include <thread>

#include "capture/frame_timer.h"
#include "platform/clock.h"
#include "platform/windows/input_desktop.h"

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Windows 10 1803 and later; before it, a plain timer, on the 1 ms system
// tick that timeBeginPeriod asks for instead of the default 15.6 ms.
HANDLE make_timer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    if (timer) return timer;
    timeBeginPeriod(1);
    return CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

void sleep_until_ns(HANDLE timer, uint64_t deadline) {
    for (uint64_t now = monotonic_now_ns(); now < deadline; now = monotonic_now_ns()) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>((deadline - now + 99) / 100);  // relative, in 100 ns units
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) return;
        WaitForSingleObject(timer, INFINITE);
    }
}

void timer_thread(HANDLE timer, uint64_t intervalNs, void (*tick)()) {
    uint64_t next = monotonic_now_ns();
    for (;;) {
        sleep_until_ns(timer, next);
        tick();
        next += intervalNs;
        // A tick that overran by whole intervals folds those expiries into
        // the next one instead of firing a burst; the grid stays put.
        const uint64_t now = monotonic_now_ns();
        if (now > next) next += (now - next) / intervalNs * intervalNs;
    }
}

}  // namespace

bool start_frame_timer(uint64_t interval_ns, uint64_t /*leeway_ns*/, void (*tick)()) {
    HANDLE timer = make_timer();
    if (!timer) {
        fprintf(stderr, "[capture] ERROR: could not start the frame writer: %s\n",
                windows_error_text(GetLastError()).c_str());
        return false;
    }
    std::thread(timer_thread, timer, interval_ns, tick).detach();
    return true;
}
