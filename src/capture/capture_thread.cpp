#include "capture/capture_thread.h"

#include <pthread.h>

#include <cstring>

#include "capture/capture_config.h"

bool start_capture_thread(void* (*body)(void*), void* stream) {
    pthread_t thread;
    const int rc = pthread_create(&thread, nullptr, body, stream);
    if (rc != 0) {
        report_capture_failure(kStartFailedLine, strerror(rc));
        return false;
    }
    pthread_detach(thread);
    fputs(kStartedLine, stderr);
    return true;
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
