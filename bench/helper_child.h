#pragma once

// What the input benchmarks share: the monotonic clock, and the helper started
// as a controller starts it.

#include <fcntl.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline uint64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1'000'000'000ull + uint64_t(ts.tv_nsec);
}

// Starts the helper: stdin on a pipe that is returned, stdout to /dev/null,
// stderr kept drained by a child of ours once the control loop has started.
// Exits the benchmark if the helper ends first.
inline int start_helper(const char* helper, pid_t* pid) {
    int in[2], err[2];
    if (pipe(in) != 0 || pipe(err) != 0) exit(1);
    *pid = fork();
    if (*pid == 0) {
        dup2(in[0], 0);
        close(in[1]);
        close(err[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(err[1], 2);
        execl(helper, helper, "15", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(err[1]);
    std::string log;
    char buf[512];
    while (log.find("control loop started") == std::string::npos) {
        const ssize_t n = read(err[0], buf, sizeof buf);
        if (n <= 0) {
            fprintf(stderr, "helper ended early:\n%s", log.c_str());
            exit(1);
        }
        log.append(buf, size_t(n));
    }
    if (fork() == 0) {
        close(in[1]);  // the helper's stdin must end when the benchmark closes it
        while (read(err[0], buf, sizeof buf) > 0) {
        }
        _exit(0);
    }
    close(err[0]);
    return in[1];
}
