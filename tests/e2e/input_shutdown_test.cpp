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

TEST(InputShutdown, ClosingStdinMidMessageAfterThousandsOfMessagesExitsZeroInTime) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok());
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 2000; ++i) {
        const uint8_t x = static_cast<uint8_t>(i % 200), y = static_cast<uint8_t>(i % 150);
        bytes.insert(bytes.end(), {0x01, 0x00, x, 0x00, y, 0x03, 0x00, 0x01});  // move, scroll
    }
    bytes.insert(bytes.end(), {0x04, 0x00});  // a key message cut short
    s.send(bytes);
    const auto start = std::chrono::steady_clock::now();
    s.helper->close_stdin();
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0) << s.helper->stderr_text();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
