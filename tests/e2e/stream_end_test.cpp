// How the frame stream ends: a reader that reads to the end of the file (one
// recording the stream, or ffmpeg) gets the header and whole frames only.

#include <gtest/gtest.h>

#include "e2e/x_client.h"

namespace {

TEST(StreamEnd, AReaderThatReadsToTheEndGetsWholeFramesOnly) {
    Xvfb server("1280x720x24");
    for (const bool lagging : {false, true, false, true}) {
        SCOPED_TRACE(lagging);
        Child helper(helper_args("30"), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h) << helper.log();
        helper.close_stdin();  // while a frame may be on its way
        size_t bytes = 0;
        for (Bytes chunk; !(chunk = helper.read(64 * 1024, 5s)).empty();) {
            bytes += chunk.size();
            if (lagging) usleep(1000);  // a reader that falls behind the writer
        }
        EXPECT_EQ(bytes % h->frameBytes, 0u) << bytes << " bytes after the header";
        EXPECT_EQ(helper.exit_code(), 0) << helper.log();
    }
}

}  // namespace
