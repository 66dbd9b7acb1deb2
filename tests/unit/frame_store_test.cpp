#include "capture/frame_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "capture/frame_store_testing.h"

namespace {

class FrameStoreTest : public testing::Test {
protected:
    void SetUp() override { reset_frame_store_for_tests(); }
    void TearDown() override { reset_frame_store_for_tests(); }
};

// A source picture whose every byte names its own position; padding is 0xEE.
std::vector<uint8_t> picture(size_t width, size_t height, size_t bytesPerRow, uint8_t tag = 0) {
    std::vector<uint8_t> p(bytesPerRow * height, 0xEE);
    for (size_t y = 0; y < height; ++y)
        for (size_t i = 0; i < width * 4; ++i) p[y * bytesPerRow + i] = static_cast<uint8_t>(y * 31 + i + tag);
    return p;
}

std::vector<uint8_t> packed(size_t width, size_t height, uint8_t tag = 0) {
    return picture(width, height, width * 4, tag);
}

std::vector<uint8_t> snapshot() {
    const uint8_t* p = snapshot_frame();
    return {p, p + size_t{frame_width()} * frame_height() * 4};
}

TEST_F(FrameStoreTest, IsEmptyUntilTheFirstFrame) {
    EXPECT_FALSE(frame_dims_known());
    EXPECT_FALSE(frame_ready());
    EXPECT_EQ(frame_width(), 0u);
}

TEST_F(FrameStoreTest, StoresPackedAndPaddedSourcesPacked) {
    for (size_t padding : {size_t{0}, size_t{4}, size_t{60}}) {
        SCOPED_TRACE(padding);
        reset_frame_store_for_tests();
        const auto source = picture(7, 5, 7 * 4 + padding);
        ASSERT_TRUE(store_frame(source.data(), 7, 5, 7 * 4 + padding));
        EXPECT_TRUE(frame_dims_known());
        EXPECT_TRUE(frame_ready());
        EXPECT_EQ(frame_width(), 7u);
        EXPECT_EQ(frame_height(), 5u);
        EXPECT_EQ(snapshot(), packed(7, 5));
    }
}

TEST_F(FrameStoreTest, KeepsTheFirstSizeAndTheLatestPicture) {
    const auto first = packed(4, 3, 0);
    const auto second = packed(4, 3, 9);
    ASSERT_TRUE(store_frame(first.data(), 4, 3, 16));
    ASSERT_TRUE(store_frame(second.data(), 4, 3, 16));
    EXPECT_EQ(snapshot(), second);
}

TEST_F(FrameStoreTest, AFrameOfAnotherSizeCopiesOnlyTheSharedPart) {
    const auto first = packed(4, 3, 0);
    ASSERT_TRUE(store_frame(first.data(), 4, 3, 16));

    // Smaller: the top-left 2x2 is replaced, the rest stays as it was.
    const auto small = packed(2, 2, 100);
    ASSERT_TRUE(store_frame(small.data(), 2, 2, 8));
    auto expected = first;
    for (size_t y = 0; y < 2; ++y)
        for (size_t i = 0; i < 8; ++i) expected[y * 16 + i] = small[y * 8 + i];
    EXPECT_EQ(snapshot(), expected);

    // Larger: only the recorded 4x3 is taken from it (ASan checks the bounds).
    const auto large = picture(6, 5, 6 * 4 + 8, 50);
    ASSERT_TRUE(store_frame(large.data(), 6, 5, 6 * 4 + 8));
    EXPECT_EQ(frame_width(), 4u);
    std::vector<uint8_t> cropped;
    for (size_t y = 0; y < 3; ++y)
        cropped.insert(cropped.end(), large.begin() + y * 32, large.begin() + y * 32 + 16);
    EXPECT_EQ(snapshot(), cropped);
}

TEST_F(FrameStoreTest, RefusesAFirstFrameTooLargeForTheStream) {
    uint8_t pixel[4] = {};
    // 65536 x 16384 x 4 is 2^32: one more than the header's 32-bit length holds.
    EXPECT_FALSE(store_frame(pixel, 65536, 16384, 65536 * 4));
    EXPECT_FALSE(frame_dims_known());
    EXPECT_FALSE(frame_ready());
}

TEST_F(FrameStoreTest, OverlappingFirstFramesSizeTheStoreOnce) {
    const auto source = packed(32, 16);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    testing::internal::CaptureStderr();
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) {
            }
            for (int k = 0; k < 20; ++k) EXPECT_TRUE(store_frame(source.data(), 32, 16, 128));
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "[capture] dimensions resolved: 32x16\n");
    EXPECT_EQ(snapshot(), source);
}

}  // namespace
