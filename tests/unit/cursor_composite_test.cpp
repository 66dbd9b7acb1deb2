#include "capture/x11/cursor_composite.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t kW = 8, kH = 6;
constexpr size_t kStride = kW * 4 + 8;  // padded rows

// Pixel (x, y) of the frame starts as B = x, G = y, R = 100, A = 255.
std::vector<uint8_t> make_frame() {
    std::vector<uint8_t> f(kStride * kH, 0xEE);
    for (uint32_t y = 0; y < kH; ++y) {
        for (uint32_t x = 0; x < kW; ++x) {
            uint8_t* p = &f[y * kStride + x * 4];
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 100, p[3] = 255;
        }
    }
    return f;
}

const uint8_t* at(const std::vector<uint8_t>& f, uint32_t x, uint32_t y) { return &f[y * kStride + x * 4]; }

TEST(CursorComposite, OpaquePixelsReplaceTranslucentOnesBlendPremultiplied) {
    auto frame = make_frame();
    // 2x1 cursor: opaque white, then half-transparent premultiplied red.
    const uint32_t cursor[] = {0xFFFFFFFFu, 0x80800000u};
    composite_cursor(frame.data(), kW, kH, kStride, cursor, 2, 1, 3, 2);

    EXPECT_EQ(at(frame, 3, 2)[0], 255);
    EXPECT_EQ(at(frame, 3, 2)[2], 255);
    const uint8_t* blended = at(frame, 4, 2);  // dst B=4 G=2 R=100
    EXPECT_EQ(blended[0], (4 * 127 + 127) / 255);
    EXPECT_EQ(blended[1], (2 * 127 + 127) / 255);
    EXPECT_EQ(blended[2], 0x80 + (100 * 127 + 127) / 255);
    EXPECT_EQ(blended[3], 255);
    EXPECT_EQ(at(frame, 5, 2)[0], 5);  // untouched beyond the cursor
}

TEST(CursorComposite, CursorPartlyOrWhollyOutsideIsClippedNotMoved) {
    const uint32_t white = 0xFFFFFFFFu;
    const std::vector<uint32_t> cursor(3 * 3, white);
    struct Case {
        int64_t left, top;
        uint32_t paintedX, paintedY;  // a pixel that must turn white
    };
    for (const Case c : {Case{-2, -2, 0, 0}, Case{6, 4, 7, 5}, Case{-1, 3, 1, 5}}) {
        SCOPED_TRACE(testing::Message() << "cursor at " << c.left << "," << c.top);
        auto frame = make_frame();
        composite_cursor(frame.data(), kW, kH, kStride, cursor.data(), 3, 3, c.left, c.top);
        EXPECT_EQ(at(frame, c.paintedX, c.paintedY)[0], 255);
        int white_pixels = 0;
        for (uint32_t y = 0; y < kH; ++y) {
            for (uint32_t x = 0; x < kW; ++x) white_pixels += at(frame, x, y)[2] == 255;
            EXPECT_EQ(frame[y * kStride + kW * 4], 0xEE);  // row padding untouched
        }
        const int64_t visibleW = std::min<int64_t>(kW, c.left + 3) - std::max<int64_t>(0, c.left);
        const int64_t visibleH = std::min<int64_t>(kH, c.top + 3) - std::max<int64_t>(0, c.top);
        EXPECT_EQ(white_pixels, visibleW * visibleH);
    }
    for (const auto& [left, top] : {std::pair<int64_t, int64_t>{-3, 0}, {kW, 0}, {0, kH}, {-100000, -100000}}) {
        auto frame = make_frame();
        composite_cursor(frame.data(), kW, kH, kStride, cursor.data(), 3, 3, left, top);
        EXPECT_EQ(frame, make_frame());
    }
}

}  // namespace
