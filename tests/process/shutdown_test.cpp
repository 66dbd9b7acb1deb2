// How the helper ends when stdin closes, whatever the capture does: before
// any picture has arrived, and when stopping the capture fails or hangs.

#include <gtest/gtest.h>

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

}  // namespace
