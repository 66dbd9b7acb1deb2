#include "capture/capture_stop.h"

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
