#pragma once

// What the input benchmarks share: the monotonic clock, and the helper started
// as a controller starts it.

#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "controller/child.h"

inline uint64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1'000'000'000ull + uint64_t(ts.tv_nsec);
}

// Starts the helper at 15 fps with its frames unread and its log kept aside,
// and returns once its control loop has started. Exits the benchmark if the
// helper ends or hangs first.
inline std::unique_ptr<controller::Child> start_helper(const char* helper) {
    auto child = std::make_unique<controller::Child>(std::vector<std::string>{helper, "15"},
                                                     std::map<std::string, std::string>{}, controller::Output::Null);
    if (!child->wait_log("control loop started", std::chrono::seconds(30))) {
        fprintf(stderr, "helper ended or hung before its control loop started:\n%s", child->log().c_str());
        child.reset();  // exit() would leave it running
        exit(1);
    }
    return child;
}
