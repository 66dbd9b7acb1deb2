#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

// Starts the capture thread, detached: it lives as long as the stream, and
// says the stream has started. False, with the start-failure lines written,
// when it cannot be had.
bool start_capture_thread(void* (*body)(void*), void* stream);

// How a capture thread is asked to stop, from any thread, and says it has:
// each asker's `done` runs once, after the thread has finished, or at once
// when it already had.
class CaptureStop {
public:
    // `wake` interrupts the thread's wait where that is not this object's
    // own; it runs under the lock, so it must be quick.
    void request(std::function<void(const char* error)> done, const std::function<void()>& wake = {});

    bool requested();

    // Waits until `when` or a stop request; true when asked to stop.
    bool wait_until(std::chrono::steady_clock::time_point when);

    // The capture thread's last act: runs every waiting `done`.
    void finish();

private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool finished_ = false;
    std::vector<std::function<void(const char*)>> waiters_;
};
