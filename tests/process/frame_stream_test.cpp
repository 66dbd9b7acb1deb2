// The frame stream as a controller reads it from the test-only executable.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "process/fake_helper.h"
#include "support/stream_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(FrameStream, HeaderDescribesTheDisplayAndEveryFrameIsWholeAndPacked) {
    ChildProcess child(fake_helper({"60"}, {{"FAKE_CAPTURE_SIZE", "33x17"}, {"FAKE_CAPTURE_PADDING", "12"}}));
    StreamClient stream(child);
    const auto header = stream.read_header(5s);
    ASSERT_TRUE(header);
    EXPECT_EQ(std::string(header->magic, 4), "ZNTV");
    EXPECT_EQ(header->version, 1u);
    EXPECT_EQ(header->width, 33u);
    EXPECT_EQ(header->height, 17u);
    EXPECT_EQ(header->fps, 60u);
    EXPECT_EQ(header->pixelFormat, 0x41524742u);
    EXPECT_EQ(header->frameBytes, 33u * 17u * 4u);

    for (int i = 0; i < 10; ++i) {
        const auto frame = stream.read_frame(2s);
        ASSERT_TRUE(frame);
        // No padding byte (0xEE) anywhere: positions must match the pattern.
        for (uint32_t y : {0u, 8u, 16u}) {
            for (uint32_t x : {0u, 1u, 32u}) {
                const Bgra p = pixel_at(*frame, 33, x, y);
                EXPECT_EQ(p.b, x);
                EXPECT_EQ(p.g, y);
                EXPECT_EQ(p.a, 255);
            }
        }
    }
    EXPECT_TRUE(child.wait_for_stderr("[capture] header sent: 33x17 frameBytes=2244\n", 1s));
    EXPECT_NE(child.stderr_text().find("[capture] dimensions resolved: 33x17\n"), std::string::npos);
}

TEST(FrameStream, NothingIsWrittenBeforeTheFirstFrame) {
    ChildProcess child(fake_helper({}, {{"FAKE_CAPTURE_DELAY_MS", "600"}}));
    ASSERT_TRUE(child.wait_for_stderr("timer started", 5s));
    EXPECT_FALSE(child.stdout_has_data(300ms));
    StreamClient stream(child);
    ASSERT_TRUE(stream.read_header(5s));
    EXPECT_TRUE(stream.read_frame(2s));
}

TEST(FrameStream, AStillScreenIsRepeatedAtTheConfiguredRate) {
    ChildProcess child(fake_helper({"30"}, {{"FAKE_CAPTURE_FRAMES", "1"}}));
    StreamClient stream(child);
    ASSERT_TRUE(stream.read_header(5s));
    const auto first = stream.read_frame(2s);
    ASSERT_TRUE(first);

    const auto start = Clock::now();
    int frames = 0;
    while (Clock::now() - start < 2s) {
        const auto frame = stream.read_frame(1s);
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, *first);
        ++frames;
    }
    // About 60 in two seconds; the bounds only catch a wrong rate, not jitter.
    EXPECT_GE(frames, 45);
    EXPECT_LE(frames, 75);
}

TEST(FrameStream, OverlappingFirstFramesStillGiveOneSizingAndAValidStream) {
    ChildProcess child(fake_helper({"60"}, {{"FAKE_CAPTURE_SOURCES", "4"}}));
    StreamClient stream(child);
    ASSERT_TRUE(stream.read_header(5s));
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(stream.read_frame(2s));
    const std::string log = child.stderr_text();
    const auto first = log.find("dimensions resolved");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("dimensions resolved", first + 1), std::string::npos);
}

TEST(FrameStream, TheBundledReaderCountsWholeFrames) {
    // helper | stream_reader, as the demo runs them.
    ChildProcess child({{"/bin/sh", "-c",
                         std::string(FAKE_HELPER_PATH) + " 30 | " + STREAM_READER_PATH + " 1"},
                        {}});
    ASSERT_EQ(child.wait_exit_code(10s), 0);
    std::string out(4096, '\0');
    out.resize(child.read_stdout(out.data(), out.size(), 1s));
    EXPECT_NE(out.find("header: magic=ZNTV version=1 64x48 fps=30 format=BGRA frameBytes=12288\n"),
              std::string::npos);
    EXPECT_NE(out.find("frames: "), std::string::npos);
}

}  // namespace
