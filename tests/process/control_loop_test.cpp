// The control channel as a controller drives it: bytes on stdin, the
// recorded events, the log lines and the orderly end.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "process/fake_helper.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kStarted = "[ctrl] control loop started, reading stdin...\n";
constexpr const char* kEof = "[ctrl] stdin EOF, control loop exiting\n";
constexpr const char* kStopping = "[capture] stdin closed, stopping SCStream...\n";
constexpr const char* kStopped = "[capture] SCStream stopped cleanly\n";

// A helper on the fake backend whose posted events go to a private file.
using Env = std::map<std::string, std::string>;

class ControlSession {
public:
    explicit ControlSession(Env env = {}) {
        std::string path = testing::TempDir() + "control_events_XXXXXX";
        const int fd = mkstemp(path.data());
        if (fd >= 0) close(fd);
        logPath_ = path;
        env.emplace("FAKE_EVENT_LOG", logPath_);
        env.emplace("FAKE_CAPTURE_FRAMES", "1");
        env.emplace("FAKE_CAPTURE_SIZE", "8x8");
        child_ = std::make_unique<ChildProcess>(fake_helper({}, env));
    }
    ~ControlSession() { unlink(logPath_.c_str()); }
    ControlSession(const ControlSession&) = delete;
    ControlSession& operator=(const ControlSession&) = delete;

    ChildProcess& child() { return *child_; }
    bool started() { return child_->wait_for_stderr(kStarted, 5s); }
    void send(const std::vector<uint8_t>& bytes) { ASSERT_TRUE(child_->write_stdin(bytes)); }

    // Closes stdin and waits for the exit; the exit code (-2 on timeout).
    int finish() {
        child_->close_stdin();
        return child_->wait_exit_code(5s).value_or(-2);
    }

    std::vector<std::string> events() const {
        std::ifstream in(logPath_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Log lines after the start line, but for the frame writer's, which
    // come whenever its first tick happens to be.
    std::string log_after_start() {
        const std::string text = child_->stderr_text();
        const size_t at = text.find(kStarted);
        if (at == std::string::npos) return "";
        std::istringstream in(text.substr(at + strlen(kStarted)));
        std::string kept;
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("[capture] header sent", 0) != 0) kept += line + "\n";
        }
        return kept;
    }

private:
    std::string logPath_;
    std::unique_ptr<ChildProcess> child_;
};

using Lines = std::vector<std::string>;

TEST(ControlLoop, EndOfInputRightAwayStopsTheCaptureAndExitsZero) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.log_after_start(), std::string(kEof) + kStopping + kStopped);
    EXPECT_TRUE(s.events().empty());
}

TEST(ControlLoop, UntrustedWarnsBeforeTheStartLineAndStillPosts) {
    ControlSession s(Env{{"FAKE_ACCESSIBILITY", "0"}});
    ASSERT_TRUE(s.started());
    s.send({0x01, 0x00, 0x01, 0x00, 0x02});
    EXPECT_EQ(s.finish(), 0);
    const std::string log = s.child().stderr_text();
    EXPECT_NE(log.find("[ctrl] WARNING: Accessibility permission not granted.\n"
                       "[ctrl] Mouse/keyboard control will NOT work.\n"
                       "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n"
                       "[ctrl] and enable this app. No restart needed after granting.\n" +
                       std::string(kStarted)),
              std::string::npos);
    EXPECT_EQ(s.events(), Lines{"mouse type=5 x=1 y=2 button=0"});
}

TEST(ControlLoop, UnknownTypesAreLoggedOneByOneWithoutResync) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    s.send({0x00, 0x01, 0x00, 0x0A, 0x00, 0x14});
    std::vector<uint8_t> high;
    for (int b = 0x06; b <= 0xFF; ++b) high.push_back(static_cast<uint8_t>(b));
    s.send(high);
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.events(), Lines{"mouse type=5 x=10 y=20 button=0"});

    std::string expected = "[ctrl] unknown message type: 0x00\n";
    for (int b = 0x06; b <= 0xFF; ++b) {
        char line[64];
        snprintf(line, sizeof line, "[ctrl] unknown message type: 0x%02X\n", b);
        expected += line;
    }
    EXPECT_EQ(s.log_after_start(), expected + kEof + kStopping + kStopped);
}

TEST(ControlLoop, AMessageCutShortEndsSilentlyButTheSameWay) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    s.send({0x01, 0x00, 0x05, 0x00, 0x06, 0x01, 0x00, 0x07});
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.events(), Lines{"mouse type=5 x=5 y=6 button=0"});
    EXPECT_EQ(s.log_after_start(), std::string(kStopping) + kStopped);
}

TEST(ControlLoop, PointerMessagesBecomeMovesDragsCountedClicksAndScrolls) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    s.send({0x02, 0x01, 0x01, 0x02, 0x01, 0x00,               // press and release at (0, 0)
            0x01, 0x00, 0x64, 0x00, 0xC8,                     // move (100, 200)
            0x02, 0x01, 0x01, 0x02, 0x01, 0x00,               // quick clicks in place: 1, 2, 3
            0x02, 0x01, 0x01, 0x02, 0x01, 0x00,               //
            0x02, 0x01, 0x01,                                 // third press held...
            0x01, 0xFF, 0xFF, 0xFF, 0xFF,                     // ...drags
            0x02, 0x01, 0x00,                                 //
            0x02, 0x02, 0x01, 0x01, 0x00, 0x01, 0x00, 0x01,   // right held: right drag
            0x02, 0x02, 0x00, 0x02, 0x07, 0x01, 0x02, 0x07, 0x00,  // another button
            0x03, 0xFF, 0xFF, 0x03, 0x00, 0x03});
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.events(), (Lines{
                              "mouse type=1 x=0 y=0 button=0 click=1",
                              "mouse type=2 x=0 y=0 button=0 click=1",
                              "mouse type=5 x=100 y=200 button=0",
                              "mouse type=1 x=100 y=200 button=0 click=1",
                              "mouse type=2 x=100 y=200 button=0 click=1",
                              "mouse type=1 x=100 y=200 button=0 click=2",
                              "mouse type=2 x=100 y=200 button=0 click=2",
                              "mouse type=1 x=100 y=200 button=0 click=3",
                              "mouse type=6 x=65535 y=65535 button=0",
                              "mouse type=2 x=65535 y=65535 button=0 click=3",
                              "mouse type=3 x=65535 y=65535 button=1 click=1",
                              "mouse type=7 x=1 y=1 button=1",
                              "mouse type=4 x=1 y=1 button=1 click=1",
                              "mouse type=25 x=1 y=1 button=2 click=1",
                              "mouse type=26 x=1 y=1 button=2 click=1",
                              "scroll units=1 wheels=1 delta=-1",
                              "scroll units=1 wheels=1 delta=3",
                          }));
}

TEST(ControlLoop, KeysGoThroughTheKeyMapAndTextAsUtf16) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    s.send({0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x41, 0x00,  // A
            0x04, 0x00, 0x11, 0x01, 0x04, 0x00, 0x11, 0x00,  // Control: Command
            0x04, 0x02, 0x0C, 0x01, 0x04, 0x02, 0x0C, 0x00,  // Windows: Command
            0x04, 0x00, 0x2C, 0x01, 0x04, 0x00, 0x2C, 0x00,  // comma
            0x04, 0x2C, 0x00, 0x01,                          // 11264: unmapped
            0x04, 0x00, 0x9D, 0x01, 0x04, 0x00, 0x07, 0x01, 0x04, 0x02, 0x0D, 0x01,
            0x05, 0x00, 0x00, 0xE9, 0x01, 0x05, 0x00, 0x00, 0xE9, 0x00,
            0x05, 0x01, 0xF6, 0x00, 0x01, 0x05, 0x01, 0xF6, 0x00, 0x00,
            0x05, 0x11, 0x00, 0x00, 0x01});  // beyond Unicode: dropped
    EXPECT_EQ(s.finish(), 0);
    EXPECT_EQ(s.events(), (Lines{
                              "key code=0x00 down=1",
                              "key code=0x00 down=0",
                              "key code=0x37 down=1 flags=0x100000",
                              "key code=0x37 down=0",
                              "key code=0x37 down=1 flags=0x100000",
                              "key code=0x37 down=0",
                              "key code=0x2B down=1",
                              "key code=0x2B down=0",
                              "text code=0 down=1 units=00E9 flags=0",
                              "text code=0 down=0 units=00E9 flags=0",
                              "text code=0 down=1 units=D83D,DE00 flags=0",
                              "text code=0 down=0 units=D83D,DE00 flags=0",
                          }));
    EXPECT_EQ(s.log_after_start(),
              "[keymap] unmapped AWT VK=11264\n"
              "[keymap] unmapped AWT VK=157\n"
              "[keymap] unmapped AWT VK=7\n"
              "[keymap] unmapped AWT VK=525\n"
              "[ctrl] WARNING: text code point 0x110000 is not a character, dropped\n" +
                  std::string(kEof) + kStopping + kStopped);
}

TEST(ControlLoop, WhatTheRemoteUserHeldIsReleasedAtTheEnd) {
    ControlSession s;
    ASSERT_TRUE(s.started());
    s.send({0x01, 0x00, 0x0A, 0x00, 0x0B,  // move (10, 11)
            0x02, 0x01, 0x01,              // left held
            0x02, 0x02, 0x01,              // right held
            0x04, 0x00, 0x10, 0x01,        // Shift held
            0x04, 0x00, 0x41, 0x01, 0x04, 0x00, 0x41, 0x00,  // A pressed and released
            0x05, 0x00, 0x00, 0xE9, 0x01,  // é held
            0x01, 0x00});                  // and the input ends inside a message
    EXPECT_EQ(s.finish(), 0);
    const Lines events = s.events();
    ASSERT_EQ(events.size(), 11u);
    EXPECT_EQ(Lines(events.begin() + 7, events.end()), (Lines{
                                                            "mouse type=2 x=10 y=11 button=0 click=1 flags=0x20000",
                                                            "mouse type=4 x=10 y=11 button=1 click=1 flags=0x20000",
                                                            "key code=0x38 down=0",
                                                            "text code=0 down=0 units=00E9 flags=0",
                                                        }));
}

// A controller's usual stop signals: what was held is let go of first, and
// the parent still sees the child killed by that very signal.
TEST(ControlLoop, AStopSignalReleasesHeldInputThenKillsAsTheSignalWould) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        ControlSession s;
        ASSERT_TRUE(s.started());
        s.send({0x02, 0x01, 0x01,          // left held
                0x04, 0x00, 0x10, 0x01});  // Shift held
        for (int i = 0; i < 400 && s.events().size() < 2; ++i) usleep(5'000);
        s.child().kill_now(signal);
        const auto status = s.child().wait_exit(5s);
        ASSERT_TRUE(status);
        ASSERT_TRUE(WIFSIGNALED(*status));
        EXPECT_EQ(WTERMSIG(*status), signal);
        EXPECT_EQ(s.events(), (Lines{
                                  "mouse type=1 x=0 y=0 button=0 click=1",
                                  "key code=0x38 down=1 flags=0x20000",
                                  "mouse type=2 x=0 y=0 button=0 click=1 flags=0x20000",
                                  "key code=0x38 down=0",
                              }));
    }
}

TEST(ControlLoop, StdinClosedBeforeTheFirstFrameStillEndsTheProgram) {
    for (const char* frames : {"0", "1"}) {
        SCOPED_TRACE(frames);
        // With "1" the frame is late: the helper must not wait for it either.
        ControlSession s(Env{{"FAKE_CAPTURE_FRAMES", frames}, {"FAKE_CAPTURE_DELAY_MS", "30000"}});
        ASSERT_TRUE(s.child().wait_for_stderr("timer started", 5s));
        s.send({0x01, 0x00, 0x01, 0x00, 0x01});
        EXPECT_EQ(s.finish(), 0);
        const std::string log = s.child().stderr_text();
        EXPECT_EQ(log.find(kStarted), std::string::npos);
        EXPECT_NE(log.find(kStopping), std::string::npos);
        EXPECT_TRUE(s.events().empty());
    }
}

TEST(ControlLoop, AFailedOrHangingStopStillExitsZero) {
    {
        ControlSession s(Env{{"FAKE_STOP", "error"}});
        ASSERT_TRUE(s.started());
        EXPECT_EQ(s.finish(), 0);
        EXPECT_EQ(s.log_after_start(),
                  std::string(kEof) + kStopping + "[capture] stopCapture error: synthetic stop failure\n");
    }
    {
        ControlSession s(Env{{"FAKE_STOP", "hang"}});
        ASSERT_TRUE(s.started());
        EXPECT_EQ(s.finish(), 0);
        EXPECT_EQ(s.log_after_start(), std::string(kEof) + kStopping);
    }
}

}  // namespace
