#include "platform/clock.h"

#include <chrono>

// steady_clock is CLOCK_MONOTONIC on Linux, and the clock that standard
// waits (condition variables, sleeps) measure against on every platform.
uint64_t monotonic_now_ns() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}
