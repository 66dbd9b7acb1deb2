// The pure rules of the Windows backend: where an absolute move lands, which
// rows of a picture changed, a cursor from its drawings on black and white,
// and what Desktop Duplication's answers mean. (Extended keys are checked
// end to end, at the test window.)

#include <gtest/gtest.h>

#include <vector>

#include "capture/cursor_backgrounds.h"
#include "capture/duplication_step.h"
#include "capture/row_changes.h"
#include "input/send_input_rules.h"

namespace {

// Windows maps a normalized coordinate n back to pixel floor(n * span / 65536).
TEST(NormalizedCoordinate, EveryPixelOfCommonSpansLandsOnItselfAndNothingBeyond) {
    for (int64_t span : {480, 640, 720, 768, 1080, 1280, 1366, 1440, 1920, 2560, 3440, 3840, 5120, 7680}) {
        for (int64_t pixel = 0; pixel < span; ++pixel) {
            ASSERT_EQ(int64_t{normalized_coordinate(pixel, span)} * span / 65536, pixel) << span << " " << pixel;
        }
        EXPECT_EQ(normalized_coordinate(-5, span), 0);
        EXPECT_EQ(normalized_coordinate(span, span), 65535);
    }
}

TEST(ChangedRows, SpanFromTheFirstToTheLastRowThatDiffers) {
    constexpr size_t kStride = 12, kRowBytes = 8;  // the padding after each row is not compared
    const std::vector<uint8_t> before(kStride * 6, 7);
    // Byte offsets changed, and the rows [top, bottom) that then differ.
    const std::pair<std::vector<size_t>, RowSpan> cases[] = {
        {{}, {0, 0}}, {{0}, {0, 1}}, {{kStride * 5 + 7}, {5, 6}}, {{kStride + 3, kStride * 4}, {1, 5}}, {{kStride * 2 + 9}, {0, 0}},
    };
    for (const auto& [touched, want] : cases) {
        std::vector<uint8_t> now = before;
        for (size_t at : touched) now[at] ^= 1;
        const RowSpan got = changed_rows(before.data(), now.data(), kStride, kRowBytes, 6);
        EXPECT_EQ(std::pair(got.top, got.bottom), std::pair(want.top, want.bottom)) << testing::PrintToString(touched);
    }
}

TEST(CursorFromBackgrounds, TransparencyFromTheDifferenceColourFromBlack) {
    // {on black, on white, premultiplied ARGB}
    const uint32_t cases[][3] = {
        {0x000000, 0xFFFFFF, 0x00000000},  // transparent
        {0xFF2010, 0xFF2010, 0xFFFF2010},  // opaque colour
        {0x400000, 0xBF7F7F, 0x80400000},  // half transparent red
        {0xFFFFFF, 0x000000, 0xFFFFFFFF},  // inverting: opaque white
    };
    for (const auto& c : cases) {
        uint32_t got = 0;
        cursor_from_backgrounds(&c[0], &c[1], 1, &got);
        EXPECT_EQ(got, c[2]) << std::hex << c[0] << " " << c[1];
    }
}

TEST(DuplicationStep, EachAnswerOfAcquireNextFrame) {
    using S = AcquiredFrame::Status;
    using D = DuplicationStep;
    const std::pair<AcquiredFrame, D> cases[] = {
        {{S::timeout}, D::nothingChanged}, {{S::accessLost, 5, 5, 64}, D::recreate}, {{S::failed}, D::fallBackToGdi},
        {{S::ok, 7, 9, 64}, D::storePicture}, {{S::ok, 0, 9, 0}, D::redrawPointer}, {{S::ok, 0, 0, 64}, D::redrawPointer},
        {{S::ok, 0, 0, 0}, D::nothingChanged},
    };
    for (const auto& [frame, want] : cases) {
        EXPECT_EQ(next_duplication_step(frame), want) << int(frame.status) << " " << frame.lastPresentTime << " "
                                                      << frame.lastMouseUpdateTime << " " << frame.pointerShapeBufferSize;
    }
}

}  // namespace
