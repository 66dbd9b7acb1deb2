#pragma once

// A child process driven as a controller drives the helper: its stdin on a
// pipe we write, its stdout and stderr wherever the caller wants them.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controller/bytes.h"
#include "controller/frame_reader.h"

extern char** environ;

namespace controller {

// How long a controller waits for a log line or for the child to end before it calls the child stuck.
inline constexpr std::chrono::milliseconds kPatience = std::chrono::seconds(10);

// Where the child's stdout or stderr goes.
enum class Output {
    Pipe,     // a pipe whose other end we read
    Log,      // an unlinked file, read back with log(): the child never blocks on it, we read it when we like
    Inherit,  // ours
    Null,     // /dev/null
};

class Child {
public:
    // Runs `args[0]`, a path or a name looked up in PATH, with `args` and our
    // environment changed by `env`, where an empty value unsets the variable.
    // The child starts with SIGPIPE at its default, whatever we do with it. If
    // it cannot be started, it looks like a child that exited with status 127.
    explicit Child(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                   Output out = Output::Pipe, Output err = Output::Log) {
        std::vector<std::string> environment = environment_with(env);
        std::vector<char*> argv, envp;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        for (auto& e : environment) envp.push_back(e.data());
        argv.push_back(nullptr), envp.push_back(nullptr);

        // Close-on-exec everywhere: other children of ours must not hold these
        // ends open (the helper's stdin would never end).
        int in[2] = {-1, -1};
        const int childOut = open_output(out, stdout_), childErr = open_output(err, stderr_);
        if (!args.empty() && pipe2(in, O_CLOEXEC) == 0 && childOut != kFailed && childErr != kFailed) {
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
            if (childOut != kInherited) posix_spawn_file_actions_adddup2(&actions, childOut, STDOUT_FILENO);
            if (childErr != kInherited) posix_spawn_file_actions_adddup2(&actions, childErr, STDERR_FILENO);
            posix_spawnattr_t attributes;
            posix_spawnattr_init(&attributes);
            sigset_t defaults;
            sigemptyset(&defaults), sigaddset(&defaults, SIGPIPE);
            posix_spawnattr_setsigdefault(&attributes, &defaults);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
            if (posix_spawnp(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0) pid_ = -1;
            posix_spawnattr_destroy(&attributes);
            posix_spawn_file_actions_destroy(&actions);
        }
        stdin_ = in[1];
        for (int fd : {in[0], childOut, childErr}) {
            if (fd >= 0 && fd != log_) close(fd);
        }
        if (pid_ <= 0) pid_ = -1, status_ = 127 << 8;
    }
    ~Child() {
        close_stdin(), close_stdout();
        for (int fd : {stderr_, log_}) {
            if (fd >= 0) close(fd);
        }
        if (!status_) kill(SIGKILL), wait(kPatience);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Our ends of the pipes; -1 where there is none.
    int stdin_fd() const { return stdin_; }
    int stdout_fd() const { return stdout_; }
    int stderr_fd() const { return stderr_; }

    // All of `bytes` to its stdin; false if it takes no more.
    bool send(const Bytes& bytes) {
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(stdin_, bytes.data() + at, bytes.size() - at);
            if (n > 0) {
                at += size_t(n);
            } else if (n == 0 || errno != EINTR) {
                return false;
            }
        }
        return true;
    }
    // Closing the helper's stdin asks it to stop.
    void close_stdin() { close_fd(stdin_); }
    void close_stdout() { close_fd(stdout_); }

    // `size` bytes from its stdout; fewer if it ends or `timeout` passes first.
    Bytes read(size_t size, Timeout timeout) { return read_bytes(stdout_, size, timeout); }

    // What went to Output::Log so far.
    std::string log() const {
        struct stat st {};
        if (log_ < 0 || fstat(log_, &st) != 0) return "";
        std::string text(size_t(st.st_size), '\0');
        text.resize(size_t(std::max<ssize_t>(0, pread(log_, text.data(), text.size(), 0))));
        return text;
    }
    // Whether the log soon holds `text`; false at once when the child has ended without it.
    bool wait_log(const std::string& text, std::chrono::milliseconds timeout = kPatience) const {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const bool ended = has_ended();  // before the look: what it wrote before ending is in the file
            if (log().find(text) != std::string::npos) return true;
            if (ended || std::chrono::steady_clock::now() >= end) return false;
            usleep(5000);
        }
    }

    // Only while it has not been waited for: afterwards its pid may be another process's.
    void kill(int sig) {
        if (!status_) ::kill(pid_, sig);
    }
    // The raw wait status, or nothing if it is still running after `timeout`.
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (int status = 0; !status_; usleep(5000)) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) return status_ = status;
            if (std::chrono::steady_clock::now() >= end) break;
        }
        return status_;
    }
    // Its exit status; -1 if a signal ended it, -2 if it is still running after `timeout`.
    int exit_code(std::chrono::milliseconds timeout = kPatience) {
        const auto status = wait(timeout);
        return !status ? -2 : WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

private:
    static constexpr int kFailed = -1, kInherited = -2;

    // The descriptor the child gets for `output`; keeps our end of a pipe in `ours`.
    int open_output(Output output, int& ours) {
        int fds[2];
        switch (output) {
            case Output::Pipe:
                if (pipe2(fds, O_CLOEXEC) != 0) return kFailed;
                ours = fds[0];
                return fds[1];
            case Output::Log:
                if (log_ < 0) {
                    char path[] = "/tmp/child-log-XXXXXX";
                    if ((log_ = mkostemp(path, O_CLOEXEC)) >= 0) unlink(path);
                }
                return log_ >= 0 ? log_ : kFailed;
            case Output::Null: return open("/dev/null", O_WRONLY | O_CLOEXEC);
            case Output::Inherit: return kInherited;
        }
        return kFailed;
    }
    // Ours, with `changes` made.
    static std::vector<std::string> environment_with(const std::map<std::string, std::string>& changes) {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry) {
            const std::string_view e(*entry);
            if (!changes.contains(std::string(e.substr(0, e.find('='))))) environment.emplace_back(e);
        }
        for (const auto& [name, value] : changes) {
            if (!value.empty()) environment.push_back(name + "=" + value);
        }
        return environment;
    }
    bool has_ended() const {
        if (status_) return true;
        siginfo_t info{};  // WNOWAIT: looks without reaping, so wait() still gets the status
        return waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid_;
    }
    static void close_fd(int& fd) {
        if (fd >= 0) close(std::exchange(fd, -1));
    }

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1, log_ = -1;
    std::optional<int> status_;
};

}  // namespace controller
