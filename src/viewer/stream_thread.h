#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "controller/bytes.h"
#include "controller/stream_header.h"

// Reads the frame stream on a thread of its own, so that the window answers
// whatever the stream does. Frames are handed over by swapping buffers: the
// newest whole frame waits for the window, older ones it did not take are
// overwritten, and nothing is copied.
class StreamThread {
public:
    // Reads `fd` to its end. `wake` is called from the thread when the header
    // has come, when a frame is ready and none was waiting, and at the end.
    StreamThread(int fd, std::function<void()> wake);
    ~StreamThread();
    StreamThread(const StreamThread&) = delete;
    StreamThread& operator=(const StreamThread&) = delete;

    // The header once it has come, valid or not.
    std::optional<controller::StreamHeader> header() const;
    // Whether the stream has ended (or was not one to read).
    bool ended() const;
    // How many whole frames have come.
    uint64_t frames_read() const;
    // Swaps the newest frame not yet taken into `frame`; false if there is none.
    bool take_frame(controller::Bytes& frame);
    // Waits until the stream has ended; false if it has not in `timeout`: the
    // thread is then left running, and the process must end without returning.
    bool join(std::chrono::milliseconds timeout);

private:
    void run(int fd);

    std::function<void()> wake_;
    mutable std::mutex lock_;
    std::condition_variable endedChanged_;
    std::optional<controller::StreamHeader> header_;
    controller::Bytes ready_;
    bool fresh_ = false, ended_ = false;
    uint64_t framesRead_ = 0;
    std::thread thread_;
};
