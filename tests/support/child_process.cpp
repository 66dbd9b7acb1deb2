#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void close_fd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const Options& options) : stderrKeep_(options.stderrKeep) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) abort();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const auto& [key, value] : options.env) setenv(key.c_str(), value.c_str(), 1);
        signal(SIGPIPE, options.ignoreSigpipe ? SIG_IGN : SIG_DFL);
        std::vector<char*> argv;
        for (const auto& a : options.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    stderr_ = err[0];
    signal(SIGPIPE, SIG_IGN);  // a child that has gone must not end the test
}

ChildProcess::~ChildProcess() {
    close_fd(stdin_);
    close_fd(stdout_);
    if (!status_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    close_fd(stderr_);
}

bool ChildProcess::write_stdin(const void* data, size_t size) {
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(stdin_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void ChildProcess::close_stdin() { close_fd(stdin_); }
void ChildProcess::close_stdout() { close_fd(stdout_); }

size_t ChildProcess::read_stdout(void* data, size_t size, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    auto* p = static_cast<uint8_t*>(data);
    size_t got = 0;
    while (got < size) {
        pollfd pfd{stdout_, POLLIN, 0};
        const int ready = poll(&pfd, 1, remaining_ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) break;
        const ssize_t n = read(stdout_, p + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

bool ChildProcess::stdout_has_data(std::chrono::milliseconds timeout) {
    pollfd pfd{stdout_, POLLIN, 0};
    return poll(&pfd, 1, static_cast<int>(timeout.count())) > 0 && (pfd.revents & POLLIN);
}

void ChildProcess::drain_stderr(int timeoutMs) {
    char buffer[65536];
    pollfd pfd{stderr_, POLLIN, 0};
    while (stderr_ >= 0 && poll(&pfd, 1, timeoutMs) > 0) {
        const ssize_t n = read(stderr_, buffer, sizeof buffer);
        if (n <= 0) {
            close_fd(stderr_);
            break;
        }
        stderrText_.append(buffer, static_cast<size_t>(n));
        stderrBytes_ += static_cast<size_t>(n);
        if (stderrText_.size() > stderrKeep_) stderrText_.erase(0, stderrText_.size() - stderrKeep_);
        timeoutMs = 0;
    }
}

std::string ChildProcess::stderr_text() {
    drain_stderr(0);
    return stderrText_;
}

size_t ChildProcess::stderr_bytes() {
    drain_stderr(0);
    return stderrBytes_;
}

bool ChildProcess::wait_for_stderr(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        drain_stderr(0);
        if (stderrText_.find(text) != std::string::npos) return true;
        if (stderr_ < 0 || Clock::now() >= deadline) return false;
        drain_stderr(std::min(20, remaining_ms(deadline)));
    }
}

std::optional<int> ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!status_) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = status;
            break;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        drain_stderr(5);  // keep the child's stderr moving while it runs
        usleep(2000);
    }
    drain_stderr(50);
    return status_;
}

std::optional<int> ChildProcess::wait_exit_code(std::chrono::milliseconds timeout) {
    const auto status = wait_exit(timeout);
    if (!status) return std::nullopt;
    return WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

void ChildProcess::kill_now(int sig) {
    if (!status_ && pid_ > 0) kill(pid_, sig);
}
