// The real helper where capture cannot work: what it says, how it ends.

#include <gtest/gtest.h>

#include <chrono>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kPermissionLines =
    "[capture] Screen Recording permission may not be granted.\n"
    "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n";

void expect_failed_start(ChildProcess& helper, const std::string& firstLine) {
    EXPECT_EQ(helper.wait_exit_code(10s), 1);
    EXPECT_FALSE(helper.stdout_has_data(100ms));
    const std::string log = helper.stderr_text();
    EXPECT_NE(log.find(firstLine), std::string::npos) << log;
    EXPECT_NE(log.find(kPermissionLines), std::string::npos) << log;
}

TEST(CaptureFailure, MissingXServerNamesTheDisplayAndEndsWithStatusOne) {
    ChildProcess helper(helper_on(":987"));
    expect_failed_start(helper, "[capture] ERROR: getShareableContent failed: cannot open X display \":987\"\n");
}

TEST(CaptureFailure, VisualWithoutBgraLayoutIsRefusedNotScrambled) {
    Xvfb server("640x480x16");
    ASSERT_TRUE(server.ok());
    ChildProcess helper(helper_on(server.display()));
    expect_failed_start(helper, "[capture] ERROR: startCapture failed: unsupported visual (depth 16");
}

TEST(CaptureFailure, LosingTheXServerWhileStreamingEndsWithStatusOne) {
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    ChildProcess helper(helper_on(server.display(), "10"));
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(10s)) << helper.stderr_text();
    ASSERT_TRUE(stream.read_frame(5s));

    server.kill_server();
    EXPECT_EQ(helper.wait_exit_code(2s), 1);
    EXPECT_NE(helper.stderr_text().find("[capture] ERROR: lost the connection to the X server\n"), std::string::npos)
        << helper.stderr_text();
}

}  // namespace
