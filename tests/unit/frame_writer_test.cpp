#include "capture/frame_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "capture/frame_store.h"
#include "capture/frame_store_testing.h"
#include "capture/write_all.h"

namespace {

std::vector<uint8_t> read_all(int fd) {
    std::vector<uint8_t> out;
    uint8_t buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.insert(out.end(), buffer, buffer + n);
    return out;
}

// Writes through a small non-blocking pipe while a slow reader drains it:
// every byte must arrive, in order.
TEST(WriteAll, DeliversEverythingThroughShortAndWouldBlockWrites) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    fcntl(fds[0], F_SETFL, 0);  // the reader blocks, the writer does not
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    std::vector<uint8_t> data(300000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);

    std::vector<uint8_t> received;
    std::thread reader([&] { received = read_all(fds[0]); });
    EXPECT_TRUE(write_all(fds[1], data.data(), data.size()));
    close(fds[1]);
    reader.join();
    close(fds[0]);
    EXPECT_EQ(received, data);
}

TEST(WriteAll, ReportsAReaderThatHasGone) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    signal(SIGPIPE, SIG_IGN);
    const uint8_t byte = 1;
    EXPECT_FALSE(write_all(fds[1], &byte, 1));
    close(fds[1]);
}

// The tick writes to stdout; point stdout at a pipe for the test.
class FrameWriterTickTest : public testing::Test {
protected:
    void SetUp() override {
        reset_frame_store_for_tests();
        ASSERT_EQ(pipe(fds_), 0);
        savedStdout_ = dup(STDOUT_FILENO);
        dup2(fds_[1], STDOUT_FILENO);
        close(fds_[1]);
    }
    std::vector<uint8_t> finish() {
        dup2(savedStdout_, STDOUT_FILENO);
        close(savedStdout_);
        auto bytes = read_all(fds_[0]);
        close(fds_[0]);
        reset_frame_store_for_tests();
        return bytes;
    }
    int fds_[2]{};
    int savedStdout_ = -1;
};

TEST_F(FrameWriterTickTest, WritesNothingBeforeTheFirstFrameThenOneHeaderAndWholeFrames) {
    testing::internal::CaptureStderr();
    frame_writer_tick();
    const std::vector<uint8_t> frame(2 * 2 * 4, 0x5A);
    ASSERT_TRUE(store_frame(frame.data(), 2, 2, 8));
    frame_writer_tick();
    frame_writer_tick();
    const std::string log = testing::internal::GetCapturedStderr();
    const auto bytes = finish();

    ASSERT_EQ(bytes.size(), 28u + 2 * frame.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "ZNTV");
    EXPECT_EQ(bytes[24], 16);  // frameBytes
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 28, bytes.begin() + 44), frame);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 44, bytes.end()), frame);
    EXPECT_NE(log.find("[capture] header sent: 2x2 frameBytes=16\n"), std::string::npos);
}

}  // namespace
