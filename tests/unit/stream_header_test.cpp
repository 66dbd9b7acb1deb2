#include "capture/stream_header.h"

#include <gtest/gtest.h>

#include <vector>

TEST(StreamHeader, EncodesEveryFieldLittleEndian) {
    const auto bytes = encode_stream_header(make_stream_header(1920, 1080, 60));
    const std::vector<uint8_t> expected = {
        'Z', 'N', 'T', 'V',  1, 0, 0, 0,         // magic, version
        0x80, 0x07, 0, 0,    0x38, 0x04, 0, 0,   // 1920, 1080
        60, 0, 0, 0,         'B', 'G', 'R', 'A', // fps, pixel format 0x41524742
        0x00, 0x90, 0x7E, 0x00,                  // 1920 * 1080 * 4 = 8294400
    };
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST(StreamHeader, FrameBytesIsWidthTimesHeightTimesFour) {
    EXPECT_EQ(make_stream_header(3, 5, 15).frameBytes, 60u);
    EXPECT_EQ(make_stream_header(1, 1, 1).frameBytes, 4u);
}
