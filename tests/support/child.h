#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// A child process driven as a controller drives the helper: stdin and stdout
// on pipes, stderr into an unlinked file, so that its log never blocks it and
// the test reads it whenever it likes.
class Child {
public:
    explicit Child(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                   bool keepLog = true);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool send(const Bytes& bytes);
    void close_stdin();
    void close_stdout();
    // `size` bytes from stdout; fewer if it ends or `timeout` passes first.
    Bytes read(size_t size, std::chrono::milliseconds timeout);

    std::string log() const;
    bool wait_log(const std::string& text, std::chrono::milliseconds timeout = 10s) const;
    // The raw wait status, or nothing if the child is still running.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // Exit status; -1 if killed by a signal, -2 if still running.
    int exit_code(std::chrono::milliseconds timeout = 10s);

private:
    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, log_ = -1;
    std::optional<int> status_;
};

// The frame stream as a controller reads it.
struct Header {
    std::string magic;
    uint32_t version, width, height, fps, format, frameBytes;
};
std::optional<Header> read_header(Child& child, std::chrono::milliseconds timeout = 10s);
std::optional<Bytes> read_frame(Child& child, const Header& header, std::chrono::milliseconds timeout = 5s);

// Pixel (x, y) of a frame as 0xAARRGGBB.
uint32_t pixel(const Bytes& frame, const Header& header, uint32_t x, uint32_t y);

void usleep_for_poll();

// Polls `done` until it holds or `timeout` passes.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds timeout = 5s) {
    for (auto end = std::chrono::steady_clock::now() + timeout; !done();) {
        if (std::chrono::steady_clock::now() > end) return false;
        usleep_for_poll();
    }
    return true;
}
