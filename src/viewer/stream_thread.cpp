#include "viewer/stream_thread.h"

#include <utility>

#include "controller/frame_reader.h"

using controller::Bytes;

StreamThread::StreamThread(int fd, std::function<void()> wake)
    : wake_(std::move(wake)), thread_([this, fd] { run(fd); }) {}

StreamThread::~StreamThread() {
    if (thread_.joinable()) thread_.join();
}

void StreamThread::run(int fd) {
    const auto header = controller::read_header(fd);
    {
        std::lock_guard held(lock_);
        header_ = header;
        ended_ = !header || !controller::is_valid(*header);
    }
    endedChanged_.notify_all();
    wake_();
    if (!header || !controller::is_valid(*header)) return;
    for (Bytes reading; controller::read_frame(fd, *header, reading);) {
        bool waiting;
        {
            std::lock_guard held(lock_);
            std::swap(reading, ready_);
            waiting = std::exchange(fresh_, true);
            ++framesRead_;
        }
        if (!waiting) wake_();  // else the window has yet to take the last one, and has been woken for it
    }
    {
        std::lock_guard held(lock_);
        ended_ = true;
    }
    endedChanged_.notify_all();
    wake_();
}

std::optional<controller::StreamHeader> StreamThread::header() const {
    std::lock_guard held(lock_);
    return header_;
}

bool StreamThread::ended() const {
    std::lock_guard held(lock_);
    return ended_;
}

uint64_t StreamThread::frames_read() const {
    std::lock_guard held(lock_);
    return framesRead_;
}

bool StreamThread::take_frame(Bytes& frame) {
    std::lock_guard held(lock_);
    if (!fresh_) return false;
    std::swap(frame, ready_);
    fresh_ = false;
    return true;
}

bool StreamThread::join(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return true;
    std::unique_lock held(lock_);
    if (!endedChanged_.wait_for(held, timeout, [&] { return ended_; })) {
        thread_.detach();
        return false;
    }
    held.unlock();
    thread_.join();
    return true;
}
