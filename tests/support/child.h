#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "controller/child.h"
#include "controller/frame_reader.h"
#include "controller/messages.h"

using namespace std::chrono_literals;
using controller::Bytes, controller::Child, controller::StreamHeader;

// Polls `done` until it holds or `timeout` passes.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds timeout = 5s) {
    for (auto end = std::chrono::steady_clock::now() + timeout; !done(); usleep(5000)) {
        if (std::chrono::steady_clock::now() > end) return false;
    }
    return true;
}

// What a file holds now; empty when it is not there.
inline std::string read_file(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// The number after `name` in /proc/<pid>/<file> ("VmRSS:" in status, ...); -1 if there is none.
inline long proc_number(pid_t pid, const std::string& file, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    for (std::string word; in >> word;)
        if (word == name) return in >> word ? std::stol(word) : -1;
    return -1;
}

// A peer that has gone, a child or a server, must fail a check, not end the
// test process: writes to it report EPIPE from the start of the process.
inline const bool g_brokenPipesReported = (signal(SIGPIPE, SIG_IGN), true);

// The frame stream of a child, as far as it arrives in time.
inline std::optional<StreamHeader> read_header(Child& child) { return controller::read_header(child.stdout_fd(), 10s); }
inline std::optional<Bytes> read_frame(Child& child, const StreamHeader& h) {
    Bytes frame;
    return controller::read_frame(child.stdout_fd(), h, frame, 5s) ? std::optional(std::move(frame)) : std::nullopt;
}

// Whether the child's log holds `text`, soon if it still runs; its log if not.
inline testing::AssertionResult logs(const Child& child, const std::string& text) {
    if (child.wait_log(text)) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << text << "\" in the log:\n" << child.log();
}

// Whether the child soon ends by signal `ending`, or (0) with status 0.
inline testing::AssertionResult ends_by(Child& child, int ending, std::chrono::milliseconds timeout = 10s) {
    const auto status = child.wait(timeout);
    if (status && (ending ? WIFSIGNALED(*status) && WTERMSIG(*status) == ending : *status == 0))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "wait status " << status.value_or(-1) << ", not " << ending << "\n"
                                       << child.log();
}

// Whether the child soon fails as a start that cannot capture does: status 1,
// nothing on stdout, and `line` in its log.
inline testing::AssertionResult fails_with(Child& child, const std::string& line,
                                           std::chrono::milliseconds timeout = 10s) {
    const int status = child.exit_code(timeout);
    const bool silent = child.read(1, 100ms).empty();
    if (status == 1 && silent && child.log().find(line) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "status " << status << (silent ? "" : ", bytes on stdout") << ", wanted \""
                                       << line << "\" in the log:\n" << child.log();
}
