// Closing stdin ends the real helper with status 0, whether or not the
// first frame has been captured yet.

#include <gtest/gtest.h>

#include "support/input_helper_session.h"

namespace {

using namespace std::chrono_literals;

TEST(InputShutdown, ClosingStdinAfterTheFirstFrameExitsZero) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok());
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.helper->close_stdin();
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0);
    const std::string log = s.helper->stderr_text();
    const size_t eof = log.find("[ctrl] stdin EOF, control loop exiting\n");
    ASSERT_NE(eof, std::string::npos) << log;
    EXPECT_NE(log.find("[capture] stdin closed, stopping SCStream...\n", eof), std::string::npos) << log;
}

TEST(InputShutdown, ClosingStdinAtOnceExitsZero) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok());
    s.helper = std::make_unique<ChildProcess>(
        ChildProcess::Options{{HELPER_PATH}, {{"DISPLAY", s.server.display()}}});
    s.helper->close_stdin();
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0) << s.helper->stderr_text();
    EXPECT_NE(s.helper->stderr_text().find("[capture] stdin closed, stopping SCStream...\n"), std::string::npos);
}

}  // namespace
