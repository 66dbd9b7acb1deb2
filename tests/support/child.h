#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

// Polls `done` until it holds or `timeout` passes.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds timeout = 5s) {
    for (auto end = std::chrono::steady_clock::now() + timeout; !done(); usleep(5000)) {
        if (std::chrono::steady_clock::now() > end) return false;
    }
    return true;
}

// A peer that has gone, a child or a server, must fail a check, not end the
// test process: writes to it report EPIPE from the start of the process.
inline const bool g_brokenPipesReported = (signal(SIGPIPE, SIG_IGN), true);

// A child process driven as a controller drives the helper: stdin and stdout
// on pipes, stderr into an unlinked file, so that its log never blocks it and
// the test reads it whenever it likes. An empty value in `env` unsets that variable.
class Child {
public:
    explicit Child(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                   bool keepLog = true) {
        char path[] = "/tmp/helper-log-XXXXXX";
        log_ = mkstemp(path);
        unlink(path);
        int in[2], out[2];
        if (log_ < 0 || pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) abort();
        if ((pid_ = fork()) == 0) {
            dup2(in[0], 0), dup2(out[1], 1), dup2(keepLog ? log_ : open("/dev/null", O_WRONLY), 2);
            for (const auto& [key, value] : env) value.empty() ? unsetenv(key.c_str()) : setenv(key.c_str(), value.c_str(), 1);
            signal(SIGPIPE, SIG_DFL);
            std::vector<char*> argv;
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(in[0]), close(out[1]);
        stdin_ = in[1], stdout_ = out[0];
    }
    ~Child() {
        close_stdin(), close_stdout(), close(log_);
        if (!status_) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    }

    pid_t pid() const { return pid_; }
    bool send(const Bytes& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(stdin_, bytes.data() + at, bytes.size() - at);
            if (n <= 0 && errno != EINTR) return false;
            at += size_t(std::max<ssize_t>(n, 0));
        }
        return true;
    }
    void close_stdin() { close(std::exchange(stdin_, -1)); }
    void close_stdout() { close(std::exchange(stdout_, -1)); }

    // `size` bytes from stdout; fewer if it ends or `timeout` passes first.
    Bytes read(size_t size, std::chrono::milliseconds timeout) {
        Bytes bytes(size);
        size_t got = 0;
        pollfd fd{stdout_, POLLIN, 0};
        for (auto end = std::chrono::steady_clock::now() + timeout; got < size;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            const ssize_t n = left.count() > 0 && poll(&fd, 1, int(left.count())) > 0
                                  ? ::read(stdout_, bytes.data() + got, size - got) : 0;
            if (n <= 0) break;
            got += size_t(n);
        }
        return bytes.resize(got), bytes;
    }

    std::string log() const {
        struct stat st {};
        fstat(log_, &st);
        std::string text(size_t(st.st_size), '\0');
        return text.resize(size_t(std::max<ssize_t>(0, pread(log_, text.data(), text.size(), 0)))), text;
    }
    bool wait_log(const std::string& text) const { return eventually([&] { return log().find(text) != std::string::npos; }, 10s); }

    // The raw wait status, or nothing if the child is still running.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        int status = 0;
        eventually([&] { return status_ || (waitpid(pid_, &status, WNOHANG) == pid_ && (status_ = status)); }, timeout);
        return status_;
    }
    // Exit status; -1 if killed by a signal, -2 if still running after 10 s.
    int exit_code() {
        const auto status = wait(10s);
        return !status ? -2 : WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

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

inline uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

inline std::optional<Header> read_header(Child& child) {
    const Bytes b = child.read(28, 10s);
    const uint8_t* p = b.data();
    if (b.size() != 28) return std::nullopt;
    return Header{std::string(p, p + 4), le32(p + 4), le32(p + 8), le32(p + 12), le32(p + 16), le32(p + 20), le32(p + 24)};
}

inline std::optional<Bytes> read_frame(Child& child, const Header& h) {
    Bytes frame = child.read(h.frameBytes, 5s);
    return frame.size() == h.frameBytes ? std::optional(frame) : std::nullopt;
}
