#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A child process driven through pipes, the way a controller drives the
// helper: its stdin to write, its stdout to read, its stderr collected.
class ChildProcess {
public:
    struct Options {
        std::vector<std::string> args;             // argv[0] is the program
        std::map<std::string, std::string> env;    // added to the environment
        bool ignoreSigpipe = false;                // start with SIGPIPE ignored
        size_t stderrKeep = SIZE_MAX;              // keep only the last bytes of stderr
    };

    explicit ChildProcess(const Options& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    bool write_stdin(const void* data, size_t size);
    bool write_stdin(const std::vector<uint8_t>& bytes) { return write_stdin(bytes.data(), bytes.size()); }
    void close_stdin();
    void close_stdout();

    // Reads exactly `size` bytes from the child's stdout, or fewer if it ends
    // or the time runs out.
    size_t read_stdout(void* data, size_t size, std::chrono::milliseconds timeout);
    // Bytes available on stdout within `timeout`, without reading them all.
    bool stdout_has_data(std::chrono::milliseconds timeout);

    // Everything the child wrote to stderr so far (its tail, when limited).
    std::string stderr_text();
    // How many bytes the child has written to stderr so far.
    size_t stderr_bytes();
    // Waits until stderr contains `text`.
    bool wait_for_stderr(const std::string& text, std::chrono::milliseconds timeout);

    // Waits for the child to end; the raw wait status, or nothing on timeout.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout);
    // Exit status if the child exited normally, -1 otherwise; nothing on timeout.
    std::optional<int> wait_exit_code(std::chrono::milliseconds timeout);

    void kill_now(int signal);

private:
    void drain_stderr(int timeoutMs);

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::string stderrText_;
    size_t stderrKeep_;
    size_t stderrBytes_ = 0;
    std::optional<int> status_;
};
