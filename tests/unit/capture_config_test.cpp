#include "capture/capture_config.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "capture/stream_header.h"

namespace {

std::array<char, 4> big_endian_chars(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::array<char, 4> little_endian_chars(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

}  // namespace

// The service is asked for the very layout the stream announces: its code is
// read as a big-endian number, the header's field as little-endian bytes.
TEST(CaptureConfig, AsksForTheLayoutTheStreamAnnounces) {
    const std::array<char, 4> bgra{'B', 'G', 'R', 'A'};
    EXPECT_EQ(big_endian_chars(kCapturePixelFormat), bgra);
    EXPECT_EQ(little_endian_chars(kPixelFormatBGRA), bgra);
    EXPECT_EQ(make_capture_config(DisplayInfo{}, 15).pixelFormat, kCapturePixelFormat);
}

// Frame pixels and event positions stay on the same points only if the
// picture is the display at its own size, unscaled and not swapped.
TEST(CaptureConfig, WholeDisplayAtItsOwnSize) {
    const DisplayInfo display{7, -1440, 200, 1440, 900};
    const CaptureConfig config = make_capture_config(display, 30);
    EXPECT_EQ(config.width, 1440u);
    EXPECT_EQ(config.height, 900u);
    EXPECT_TRUE(config.showsCursor);
    EXPECT_EQ(config.queueDepth, 3);
}

// At most one picture per frame of the stream: 1/fps s, at either end of
// the accepted rates.
TEST(CaptureConfig, ShortestIntervalIsOneFrameOfTheStream) {
    for (uint32_t fps : {1u, 15u, 120u}) {
        SCOPED_TRACE(fps);
        const CaptureConfig config = make_capture_config(DisplayInfo{1, 0, 0, 64, 48}, fps);
        EXPECT_EQ(config.frameIntervalValue, 1);
        EXPECT_EQ(config.frameIntervalTimescale, static_cast<int32_t>(fps));
    }
}
