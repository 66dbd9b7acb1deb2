// The pure rules of the Windows backend: where an absolute move lands, which
// keys are extended, and which rows of a picture changed.

#include <gtest/gtest.h>

#include <vector>

#include "capture/cursor_backgrounds.h"
#include "capture/duplication_step.h"
#include "capture/row_changes.h"
#include "input/send_input_rules.h"

namespace {

// Windows maps a normalized coordinate n to pixel floor(n * span / 65536).
int64_t landing_pixel(int32_t n, int64_t span) { return int64_t{n} * span / 65536; }

TEST(NormalizedCoordinate, EveryPixelOfCommonSpansLandsOnItself) {
    for (int64_t span : {480, 640, 720, 768, 1080, 1280, 1366, 1440, 1920, 2560, 3440, 3840, 5120, 7680}) {
        for (int64_t pixel = 0; pixel < span; ++pixel) {
            const int32_t n = normalized_coordinate(pixel, span);
            ASSERT_LE(n, 65535) << span;
            ASSERT_EQ(landing_pixel(n, span), pixel) << "span " << span << " pixel " << pixel;
        }
    }
}

TEST(NormalizedCoordinate, OutsideTheDesktopStaysAtItsEdges) {
    EXPECT_EQ(normalized_coordinate(-5, 1920), 0);
    EXPECT_EQ(normalized_coordinate(1920, 1920), 65535);
    EXPECT_EQ(normalized_coordinate(100000, 1920), 65535);
    EXPECT_EQ(normalized_coordinate(10, 0), 0);
}

TEST(ExtendedKeys, TheNavigationBlockAndRightModifiersOnly) {
    for (uint16_t vk : {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2D, 0x2E, 0x5B, 0x5C, 0x5D, 0x6F, 0x90,
                        0xA3, 0xA5, 0x2C, 0x03}) {
        EXPECT_TRUE(is_extended_key(vk)) << std::hex << vk;
    }
    // Their keypad twins, the left modifiers, and the right Shift (a key of its own scan code).
    for (uint16_t vk : {0x60, 0x61, 0x67, 0x6E, 0xA0, 0xA1, 0xA2, 0xA4, 0x10, 0x11, 0x12, 0x0D, 0x41, 0x70}) {
        EXPECT_FALSE(is_extended_key(vk)) << std::hex << vk;
    }
}

TEST(ChangedRows, SpanFromTheFirstToTheLastRowThatDiffers) {
    constexpr size_t kStride = 12, kRowBytes = 8;  // padding after each row is not compared
    constexpr uint32_t kRows = 6;
    const std::vector<uint8_t> before(kStride * kRows, 7);
    struct Case {
        std::vector<size_t> touched;  // byte offsets changed
        RowSpan want;
    };
    const Case cases[] = {
        {{}, {0, 0}},
        {{0}, {0, 1}},
        {{kStride * 5 + 7}, {5, 6}},
        {{kStride * 1 + 3, kStride * 4}, {1, 5}},
        {{kStride * 2 + 9}, {0, 0}},  // padding only
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> now = before;
        for (size_t at : c.touched) now[at] ^= 1;
        const RowSpan got = changed_rows(before.data(), now.data(), kStride, kRowBytes, kRows);
        EXPECT_EQ(got.top, c.want.top) << testing::PrintToString(c.touched);
        EXPECT_EQ(got.bottom, c.want.bottom) << testing::PrintToString(c.touched);
        EXPECT_EQ(got.empty(), c.touched.empty() || c.want.top == c.want.bottom);
    }
}

TEST(CursorFromBackgrounds, TransparencyFromTheDifferenceColourFromBlack) {
    struct Case {
        uint32_t onBlack, onWhite, want;
    };
    const Case cases[] = {
        {0x000000, 0xFFFFFF, 0x00000000},  // transparent
        {0xFF2010, 0xFF2010, 0xFFFF2010},  // opaque colour
        {0x000000, 0x000000, 0xFF000000},  // opaque black
        {0x400000, 0xBF7F7F, 0x80400000},  // half transparent red, premultiplied
        {0xFFFFFF, 0x000000, 0xFFFFFFFF},  // inverting: opaque white
        {0x30F0F0, 0x30F0F0, 0xFF30F0F0},
    };
    for (const Case& c : cases) {
        uint32_t got = 0;
        cursor_from_backgrounds(&c.onBlack, &c.onWhite, 1, &got);
        EXPECT_EQ(got, c.want) << std::hex << c.onBlack << " " << c.onWhite;
    }
}

TEST(DuplicationStep, EachAnswerOfAcquireNextFrame) {
    using S = AcquiredFrame::Status;
    using D = DuplicationStep;
    struct Case {
        AcquiredFrame frame;
        D want;
    };
    const Case cases[] = {
        {{S::timeout}, D::nothingChanged},
        {{S::accessLost}, D::recreate},
        {{S::accessLost, 5, 5, 64}, D::recreate},
        {{S::failed}, D::fallBackToGdi},
        {{S::ok, 7, 0, 0}, D::storePicture},
        {{S::ok, 7, 9, 64}, D::storePicture},
        {{S::ok, 0, 9, 0}, D::redrawPointer},
        {{S::ok, 0, 0, 64}, D::redrawPointer},
        {{S::ok, 0, 0, 0}, D::nothingChanged},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(next_duplication_step(c.frame), c.want)
            << int(c.frame.status) << " " << c.frame.lastPresentTime << " " << c.frame.lastMouseUpdateTime << " "
            << c.frame.pointerShapeBufferSize;
    }
}

}  // namespace
