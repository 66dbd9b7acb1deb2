// What a controller sees when it misbehaves as a reader of the frame stream.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;

TEST(StreamFaults, AReaderThatClosesStdoutEndsTheHelperByBrokenPipe) {
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(5s));
    helper.close_stdout();
    const auto status = helper.wait_exit(2s);
    ASSERT_TRUE(status) << "still running after its reader went away";
    ASSERT_TRUE(WIFSIGNALED(*status)) << helper.stderr_text();
    EXPECT_EQ(WTERMSIG(*status), SIGPIPE);
}

// A marker in the top-left corner sits at the start of every frame: a frame
// cut short or resumed mid-way would move it.
TEST(StreamFaults, AfterAStalledReaderFramesResumeWhole) {
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    XTestClient client(server.display());
    ASSERT_TRUE(client.ok());
    client.set_root_colour(0x102030);
    client.fill_rect(0, 0, 4, 1, 0xFF0000);
    client.move_pointer(300, 220);

    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    const auto header = stream.read_header(5s);
    ASSERT_TRUE(header);
    ASSERT_TRUE(stream.read_frame(2s));

    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(helper.wait_exit(0ms)) << "the helper ended while its reader stalled";

    for (int i = 0; i < 30; ++i) {
        const auto frame = stream.read_frame(2s);
        ASSERT_TRUE(frame) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 0, 0), (Bgra{0, 0, 255, 255})) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 4, 0), (Bgra{0x30, 0x20, 0x10, 255})) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 0, header->height - 1), (Bgra{0x30, 0x20, 0x10, 255}));
    }
    helper.close_stdin();
    EXPECT_EQ(helper.wait_exit_code(3s), 0);
}

}  // namespace
