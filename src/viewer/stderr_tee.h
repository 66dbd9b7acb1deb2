#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Copies the helper's stderr to ours as it comes, remembering its last line:
// the one that says why, when the helper ends first.
class StderrTee {
public:
    explicit StderrTee(int fd);
    ~StderrTee();
    StderrTee(const StderrTee&) = delete;
    StderrTee& operator=(const StderrTee&) = delete;

    // Waits at most `timeout` for the stream's end, then gives the last line
    // that has come, without its newline.
    std::string last_line(std::chrono::milliseconds timeout);

private:
    void run(int fd);

    int stop_[2] = {-1, -1};  // a pipe whose write end, closed, ends the copying
    std::mutex lock_;
    std::condition_variable endedChanged_;
    std::string line_, last_;  // the line being written, and the last one finished
    bool ended_ = false;
    std::thread thread_;
};
