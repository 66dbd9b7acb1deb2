// A controller that stops the real helper with a signal leaves nothing held
// down on the X server.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/input_helper_session.h"

namespace {

using namespace std::chrono_literals;

TEST(SignalFaults, SigtermReleasesAHeldKeyThenKillsTheHelper) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.send({0x04, 0x00, 0x41, 0x01});  // A held
    const auto press = s.client.next_event(2s);
    ASSERT_TRUE(press);
    EXPECT_EQ(press->type, XCB_KEY_PRESS);

    s.helper->kill_now(SIGTERM);
    const auto release = s.client.next_event(2s);
    ASSERT_TRUE(release) << s.helper->stderr_text();
    EXPECT_EQ(release->type, XCB_KEY_RELEASE);
    EXPECT_EQ(release->detail, press->detail);
    const auto status = s.helper->wait_exit(2s);
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGTERM);
}

}  // namespace
