// Start-up as a controller sees it: exit statuses, stderr lines, and an
// empty stdout wherever no frame stream is due.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "process/fake_helper.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kStartupGranted =
    "[capture] Display: 64x48 (ID=1)\n"
    "[capture] ScreenCaptureKit stream started OK\n"
    "[ctrl] Accessibility permission granted.\n"
    "[capture] Frame writer timer started at 15 fps\n";

TEST(PermissionQuery, TrustedAnswersOnOneLineWithStatusZero) {
    ChildProcess child(fake_helper({"--check-accessibility", "60"}));
    EXPECT_EQ(child.wait_exit_code(5s), 0);
    EXPECT_EQ(child.stderr_text(), "[ctrl] Accessibility permission granted.\n");
    EXPECT_FALSE(child.stdout_has_data(0ms));
}

TEST(PermissionQuery, UntrustedGivesTheFourGuidanceLinesAndStatusOne) {
    ChildProcess child(fake_helper({"--check-accessibility"}, {{"FAKE_ACCESSIBILITY", "0"}}));
    EXPECT_EQ(child.wait_exit_code(5s), 1);
    EXPECT_EQ(child.stderr_text(),
              "[ctrl] Accessibility permission NOT granted.\n"
              "[ctrl] A system dialog has been shown asking for permission.\n"
              "[ctrl] Please grant access in System Settings > Privacy & Security > Accessibility.\n"
              "[ctrl] Then click 'Start Capture' again. No app restart needed.\n");
    uint8_t byte;
    EXPECT_EQ(child.read_stdout(&byte, 1, 200ms), 0u);
}

TEST(Startup, WritesItsLinesInOrder) {
    ChildProcess child(fake_helper({}, {{"FAKE_CAPTURE_FRAMES", "0"}}));
    ASSERT_TRUE(child.wait_for_stderr("timer started", 5s));
    EXPECT_EQ(child.stderr_text(), kStartupGranted);
}

TEST(Startup, UntrustedAtStartUpWarnsAndGoesOn) {
    ChildProcess child(fake_helper({"30"}, {{"FAKE_CAPTURE_FRAMES", "0"}, {"FAKE_ACCESSIBILITY", "0"}}));
    ASSERT_TRUE(child.wait_for_stderr("timer started", 5s));
    EXPECT_EQ(child.stderr_text(),
              "[capture] FPS set to 30 from CLI argument\n"
              "[capture] Display: 64x48 (ID=1)\n"
              "[capture] ScreenCaptureKit stream started OK\n"
              "[ctrl] Accessibility permission NOT granted.\n"
              "[ctrl] A system dialog has been shown asking for permission.\n"
              "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n"
              "[ctrl] and enable this app. No restart needed after granting.\n"
              "[capture] Frame writer timer started at 30 fps\n");
}

TEST(Startup, IgnoredRatesLeaveTheDefaultSilently) {
    for (const char* arg : {"0", "-5", "121", "abc", "--check-accessibility=1", "4294967311"}) {
        SCOPED_TRACE(arg);
        ChildProcess child(fake_helper({arg}, {{"FAKE_CAPTURE_FRAMES", "0"}}));
        ASSERT_TRUE(child.wait_for_stderr("timer started", 5s));
        EXPECT_EQ(child.stderr_text(), kStartupGranted);
    }
}

TEST(Startup, CaptureFailuresEndWithStatusOneAndNothingOnStdout) {
    struct Case {
        const char* mode;
        const char* lines;
    } cases[] = {
        {"no-display", "[capture] ERROR: No display found\n"},
        {"start",
         "[capture] ERROR: startCapture failed: synthetic failure\n"
         "[capture] Screen Recording permission may not be granted.\n"
         "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ChildProcess child(fake_helper({}, {{"FAKE_CAPTURE_FAIL", c.mode}}));
        EXPECT_EQ(child.wait_exit_code(5s), 1);
        EXPECT_EQ(child.stderr_text(), c.lines);
        uint8_t byte;
        EXPECT_EQ(child.read_stdout(&byte, 1, 100ms), 0u);
    }
}

TEST(Startup, AFrameTooLargeForTheStreamEndsWithStatusOne) {
    // 65536 x 16384 x 4 bytes does not fit the header's 32-bit length.
    ChildProcess child(fake_helper({}, {{"FAKE_CAPTURE_SIZE", "65536x16384"}}));
    EXPECT_EQ(child.wait_exit_code(10s), 1);
    EXPECT_NE(child.stderr_text().find("[capture] ERROR: frame size 65536x16384 is too large"),
              std::string::npos);
    uint8_t byte;
    EXPECT_EQ(child.read_stdout(&byte, 1, 100ms), 0u);
}

}  // namespace
