#include "support/child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

void usleep_for_poll() { usleep(5000); }

Child::Child(const std::vector<std::string>& args, const std::map<std::string, std::string>& env, bool keepLog) {
    char path[] = "/tmp/helper-log-XXXXXX";
    log_ = mkstemp(path);
    unlink(path);
    int in[2], out[2];
    if (log_ < 0 || pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) abort();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(keepLog ? log_ : open("/dev/null", O_WRONLY), 2);
        for (const auto& [key, value] : env) setenv(key.c_str(), value.c_str(), 1);
        signal(SIGPIPE, SIG_DFL);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    signal(SIGPIPE, SIG_IGN);  // a child that has gone must not end the test
}

Child::~Child() {
    close_stdin();
    close_stdout();
    if (!status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(log_);
}

bool Child::send(const Bytes& bytes) {
    for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = write(stdin_, bytes.data() + at, bytes.size() - at);
        if (n <= 0 && errno != EINTR) return false;
        at += n > 0 ? size_t(n) : 0;
    }
    return true;
}

void Child::close_stdin() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
}

void Child::close_stdout() {
    if (stdout_ >= 0) close(stdout_);
    stdout_ = -1;
}

Bytes Child::read(size_t size, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    Bytes bytes(size);
    size_t got = 0;
    while (got < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd fd{stdout_, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, int(left.count())) <= 0) break;
        const ssize_t n = ::read(stdout_, bytes.data() + got, size - got);
        if (n <= 0) break;
        got += size_t(n);
    }
    bytes.resize(got);
    return bytes;
}

std::string Child::log() const {
    struct stat st {};
    fstat(log_, &st);
    std::string text(size_t(st.st_size), '\0');
    text.resize(size_t(std::max<ssize_t>(0, pread(log_, text.data(), text.size(), 0))));
    return text;
}

bool Child::wait_log(const std::string& text, std::chrono::milliseconds timeout) const {
    return eventually([&] { return log().find(text) != std::string::npos; }, timeout);
}

std::optional<int> Child::wait(std::chrono::milliseconds timeout) {
    eventually(
        [&] {
            int status = 0;
            if (!status_ && waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
            return status_.has_value();
        },
        timeout);
    return status_;
}

int Child::exit_code(std::chrono::milliseconds timeout) {
    const auto status = wait(timeout);
    return !status ? -2 : WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

}  // namespace

std::optional<Header> read_header(Child& child, std::chrono::milliseconds timeout) {
    const Bytes b = child.read(28, timeout);
    if (b.size() != 28) return std::nullopt;
    const uint8_t* p = b.data();
    return Header{std::string(p, p + 4), le32(p + 4),  le32(p + 8), le32(p + 12),
                  le32(p + 16),          le32(p + 20), le32(p + 24)};
}

std::optional<Bytes> read_frame(Child& child, const Header& header, std::chrono::milliseconds timeout) {
    Bytes frame = child.read(header.frameBytes, timeout);
    if (frame.size() != header.frameBytes) return std::nullopt;
    return frame;
}

uint32_t pixel(const Bytes& frame, const Header& header, uint32_t x, uint32_t y) {
    return le32(frame.data() + (size_t{y} * header.width + x) * 4);
}
