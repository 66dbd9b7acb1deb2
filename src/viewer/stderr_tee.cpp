#include "viewer/stderr_tee.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

StderrTee::StderrTee(int fd) {
    if (pipe2(stop_, O_CLOEXEC) != 0) stop_[0] = stop_[1] = -1;
    thread_ = std::thread([this, fd] { run(fd); });
}

StderrTee::~StderrTee() {
    // The stream may outlive the helper (something it started holds it open).
    if (stop_[1] >= 0) close(stop_[1]);
    thread_.join();
    if (stop_[0] >= 0) close(stop_[0]);
}

void StderrTee::run(int fd) {
    char buffer[4096];
    for (;;) {
        pollfd fds[] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents) break;
        if (!fds[0].revents) continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const ssize_t written = write(STDERR_FILENO, buffer + at, size_t(n - at));
            if (written <= 0 && errno != EINTR) break;
            at += std::max<ssize_t>(written, 0);
        }
        std::lock_guard held(lock_);
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line_ += buffer[i];
            } else if (!line_.empty()) {
                last_ = std::move(line_), line_.clear();
            }
        }
    }
    {
        std::lock_guard held(lock_);
        ended_ = true;
    }
    endedChanged_.notify_all();
}

std::string StderrTee::last_line(std::chrono::milliseconds timeout) {
    std::unique_lock held(lock_);
    endedChanged_.wait_for(held, timeout, [&] { return ended_; });
    return line_.empty() ? last_ : line_;
}
