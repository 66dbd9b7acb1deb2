// The frame store, and the writes that take its frames to stdout.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#include <vector>

#include "capture/frame_store.h"
#include "capture/frame_store_testing.h"
#include "capture/write_all.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A picture whose bytes name their own position (and `tag`); padding is 0xEE.
Bytes picture(size_t width, size_t height, size_t padding, uint8_t tag) {
    const size_t stride = width * 4 + padding;
    Bytes p(stride * height, 0xEE);
    for (size_t y = 0; y < height; ++y)
        for (size_t i = 0; i < width * 4; ++i) p[y * stride + i] = uint8_t(y * 31 + i + tag);
    return p;
}

Bytes snapshot() {
    const uint8_t* p = snapshot_frame();
    return {p, p + size_t{frame_width()} * frame_height() * 4};
}

Bytes read_all(int fd) {
    Bytes out;
    uint8_t buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.insert(out.end(), buffer, buffer + n);
    return out;
}

TEST(FrameStore, KeepsTheFirstSizeAndTheLatestPictureRowsPacked) {
    struct Frame {
        size_t width, height, padding;
    };
    struct Case {
        const char* name;
        std::vector<Frame> frames;  // stored in order, tagged 0, 1, ...
        Bytes expected;
    } cases[] = {
        {"packed", {{7, 5, 0}}, picture(7, 5, 0, 0)},
        {"padded rows", {{7, 5, 4}}, picture(7, 5, 0, 0)},
        {"wide padding", {{7, 5, 60}, {7, 5, 0}}, picture(7, 5, 0, 1)},
        {"zero sizes change nothing", {{4, 3, 0}, {0, 3, 0}, {4, 0, 0}}, picture(4, 3, 0, 0)},
        {"only the width differs", {{2, 1, 0}, {1, 1, 0}}, {1, 2, 3, 4, 4, 5, 6, 7}},
        {"a larger one is cropped", {{2, 2, 0}, {3, 4, 8}}, {1, 2, 3, 4, 5, 6, 7, 8, 32, 33, 34, 35, 36, 37, 38, 39}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_frame_store_for_tests();
        EXPECT_FALSE(frame_ready());
        for (size_t k = 0; k < c.frames.size(); ++k) {
            const Frame& f = c.frames[k];
            const Bytes p = picture(f.width, f.height, f.padding, uint8_t(k));
            EXPECT_TRUE(store_frame(p.data(), f.width, f.height, f.width * 4 + f.padding));
        }
        EXPECT_TRUE(frame_dims_known() && frame_ready());
        EXPECT_EQ(snapshot(), c.expected);
    }
    // Overlapping rows are no picture: nothing is read from them (ASan would tell).
    const Bytes small = picture(1, 1, 0, 9);
    ASSERT_TRUE(store_frame(small.data(), 2, 2, 4));
    // 65536 x 16384 x 4 is 2^32, one more than the header's 32-bit length holds.
    reset_frame_store_for_tests();
    EXPECT_FALSE(store_frame(small.data(), 65536, 16384, 65536 * 4));
    EXPECT_FALSE(frame_dims_known() || frame_ready());
}

TEST(FrameStore, OverlappingFirstFramesSizeItOnce) {
    reset_frame_store_for_tests();
    const Bytes source = picture(32, 16, 0, 0);
    testing::internal::CaptureStderr();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int k = 0; k < 20; ++k) EXPECT_TRUE(store_frame(source.data(), 32, 16, 128));
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[capture] dimensions resolved: 32x16\n");
    EXPECT_EQ(snapshot(), source);
    reset_frame_store_for_tests();
}

TEST(WriteAll, DeliversEverythingThroughShortWritesAndReportsAReaderGone) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    fcntl(fds[0], F_SETFL, 0);  // the reader blocks, the writer does not
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    const Bytes data = picture(300, 250, 0, 0);
    Bytes received;
    std::thread reader([&] { received = read_all(fds[0]); });
    EXPECT_TRUE(write_all(fds[1], data.data(), data.size()));
    close(fds[1]);
    reader.join();
    EXPECT_EQ(received, data);

    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(write_all(fds[1], data.data(), 1));
    close(fds[1]);
}

}  // namespace
