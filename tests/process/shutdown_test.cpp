// How the helper ends when stdin closes, whatever the capture does: before
// any picture has arrived, and when stopping the capture fails or hangs.

#include <gtest/gtest.h>

#include <string>

#include "support/child.h"

namespace {

TEST(Shutdown, ClosingStdinEndsWithStatusZeroWhateverTheCaptureDoes) {
    const std::string stopping = "[capture] stdin closed, stopping SCStream...\n";
    struct Case {
        const char* mode;
        std::string endLines;
    } cases[] = {
        {"none", "[ctrl] stdin closed before the first frame, control loop exiting\n" + stopping +
                     "[capture] SCStream stopped cleanly\n"},
        {"stop-error", "[ctrl] stdin EOF, control loop exiting\n" + stopping +
                           "[capture] stopCapture error: synthetic stop failure\n"},
        {"stop-hang", "[ctrl] stdin EOF, control loop exiting\n" + stopping},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        Child helper({FAKE_HELPER_PATH}, {{"FAKE_CAPTURE", c.mode}});
        ASSERT_TRUE(helper.wait_log(c.mode == std::string("none") ? "timer started" : "header sent"));
        helper.close_stdin();
        EXPECT_EQ(helper.exit_code(), 0);
        const std::string log = helper.log();
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), c.endLines.size())), c.endLines) << log;
    }
}

// A controller that started us with SIGPIPE ignored expects us to go on when
// it stops reading the frames, and to end at the end of input as usual.
TEST(Shutdown, AReaderGoneDoesNotEndAHelperStartedWithBrokenPipesIgnored) {
    Child helper({"/bin/sh", "-c", "trap '' PIPE; exec \"$0\"", FAKE_HELPER_PATH});
    ASSERT_TRUE(read_header(helper) && helper.wait_log("[ctrl] control loop started")) << helper.log();
    // Write calls so far: the frame writer's, once the log is quiet.
    const auto writes = [&] { return proc_number(helper.pid(), "io", "syscw:"); };
    helper.close_stdout();
    const long before = writes();
    ASSERT_TRUE(eventually([&] { return writes() >= before + 3; }, 10s));  // into the closed pipe
    helper.send(controller::move_to(1, 1));  // still read: the control loop goes on
    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0) << helper.log();
    EXPECT_TRUE(logs(helper, "[ctrl] stdin EOF, control loop exiting"));
}

// A capture that started and never sends a picture (a desktop whose session
// manager is not running) ends the helper, rather than leaving the
// controller with one that neither streams nor stops.
TEST(Shutdown, ACaptureThatNeverSendsAPictureEndsTheHelperWithStatusOne) {
    const auto started = std::chrono::steady_clock::now();
    Child helper({FAKE_HELPER_PATH}, {{"FAKE_CAPTURE", "none"}});
    EXPECT_TRUE(fails_with(helper, "[capture] ERROR: the capture started, but no picture came within 10 s\n"
                                   "[capture] Screen Recording permission may not be granted.\n"
                                   "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n", 30s));
    EXPECT_GE(std::chrono::steady_clock::now() - started, 10s);  // not before it was given its time
}

// A controller that never reads stderr, and a flood of unknown bytes that
// logs more than any pipe holds: closing stdin still ends the helper, whole.
TEST(Shutdown, ClosingStdinEndsTheHelperEvenWhenNobodyReadsItsLog) {
    Child helper({FAKE_HELPER_PATH}, {}, controller::Output::Pipe, controller::Output::Pipe);
    ASSERT_TRUE(read_header(helper));
    ASSERT_TRUE(helper.send(Bytes(60'000, 0xEE)));  // a line each, 2 MB; all of it fits the pipe to stdin
    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0);
}

}  // namespace
