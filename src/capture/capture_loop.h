#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// The capture loop of the backends that ask for each picture (X11, wlroots):
// the first picture before the stream is said to have started, then a thread
// that asks for one a frame interval, the stop handshake, and what a lost
// display means.

// What one grab did: brought the store up to date (or found nothing new),
// missed this tick only, or found the display gone.
enum class GrabResult { ok, skipped, lost };

// A backend's side of the loop.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The first picture, into the store. False with `why`, for the start's
    // failure line, when none can be had; with `why` empty when the store
    // could not be had (its lines are written), which ends the process.
    virtual bool take_first_picture(std::string* why) = 0;
    // Brings the store up to date with the display, once.
    virtual GrabResult grab() = 0;
    // What to write once grab() said lost; null when its lines are written.
    virtual const char* lost_lines() const = 0;
    // Interrupts a grab that waits on the display, for a stop. Runs under
    // the stop's lock: it must be quick.
    virtual void wake() {}
};

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

// Reads the source on an absolute schedule, never more often than the frame
// rate; a late picture moves the schedule instead of bunching up. A lost
// display ends the process with status 1, here and nowhere else.
class CaptureLoop {
public:
    explicit CaptureLoop(PictureSource& source) : source_(source) {}

    // Takes the first picture, then starts the thread, detached: it lives as
    // long as the stream, and says the stream has started. False, with the
    // start-failure lines written, when either cannot be had.
    bool start();
    void stop(std::function<void(const char* error)> done);

private:
    static void* run(void* loop);
    [[noreturn]] void lost();

    PictureSource& source_;
    CaptureStop stop_;
};
