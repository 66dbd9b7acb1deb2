#include "capture/capture_loop.h"

#include <pthread.h>

#include <cstring>

#include "capture/capture_config.h"
#include "capture/settings.h"
#include "platform/failure_exit.h"

bool CaptureLoop::start() {
    std::string why;
    if (!source_.take_first_picture(&why)) {
        if (why.empty()) lost();
        report_capture_failure(kStartFailedLine, why);
        return false;
    }
    pthread_t thread;
    const int rc = pthread_create(&thread, nullptr, run, this);
    if (rc != 0) {
        report_capture_failure(kStartFailedLine, strerror(rc));
        return false;
    }
    pthread_detach(thread);
    fputs(kStartedLine, stderr);
    return true;
}

void CaptureLoop::stop(std::function<void(const char* error)> done) {
    stop_.request(std::move(done), [this] { source_.wake(); });
}

void CaptureLoop::lost() { capture_lost(source_.lost_lines()); }

void* CaptureLoop::run(void* arg) {
    auto* loop = static_cast<CaptureLoop*>(arg);
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::nanoseconds(FRAME_INTERVAL_NS);
    auto next = Clock::now() + interval;
    for (;;) {
        if (loop->stop_.wait_until(next)) break;
        if (loop->source_.grab() == GrabResult::lost) loop->lost();
        next += interval;
        const auto now = Clock::now();
        if (next < now) next = now;
    }
    loop->stop_.finish();
    return nullptr;
}

void CaptureStop::request(std::function<void(const char* error)> done, const std::function<void()>& wake) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!finished_) {
            requested_ = true;
            waiters_.push_back(std::move(done));
            wake_.notify_all();
            if (wake) wake();
            return;
        }
    }
    done(nullptr);
}

bool CaptureStop::requested() {
    std::lock_guard<std::mutex> guard(lock_);
    return requested_;
}

bool CaptureStop::wait_until(std::chrono::steady_clock::time_point when) {
    std::unique_lock<std::mutex> guard(lock_);
    return wake_.wait_until(guard, when, [this] { return requested_; });
}

void CaptureStop::finish() {
    std::vector<std::function<void(const char*)>> waiters;
    {
        std::lock_guard<std::mutex> guard(lock_);
        finished_ = true;
        waiters.swap(waiters_);
    }
    for (auto& done : waiters) done(nullptr);
}
