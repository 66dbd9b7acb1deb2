// Start-up and capture rules: the command line, which display is captured,
// what the capture service is asked for, how the pointer is drawn over a frame.

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "capture/capture_config.h"
#include "capture/display_choice.h"
#include "capture/settings.h"
#include "capture/x11/cursor_composite.h"

namespace {

TEST(CommandLine, OnlyTheFirstArgumentCountsReadTheWayAtoiReadsIt) {
    struct Case {
        std::vector<const char*> args;
        std::optional<uint32_t> fps;
        bool query = false;
    } cases[] = {
        {{}, {}}, {{"30"}, 30u}, {{"30fps", "60"}, 30u}, {{"  +45"}, 45u}, {{"1"}, 1u}, {{"120"}, 120u}, {{"121"}, {}},
        {{"0"}, {}}, {{"-5"}, {}}, {{"abc"}, {}}, {{""}, {}}, {{"99999999999999999999"}, {}}, {{"-2147483648"}, {}},
        {{"4294967326"}, {}},  // 30 when cut to 32 bits: still out of range
        {{"--check-accessibility"}, {}, true}, {{"--check-accessibility", "30"}, {}, true},
        {{"--check-accessibility=1"}, {}}, {{"--Check-Accessibility"}, {}}, {{"30", "--check-accessibility"}, 30u},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"screenshare-helper"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        const CommandLine cli = parse_command_line(int(argv.size()), argv.data());
        EXPECT_EQ(cli.fps, c.fps);
        EXPECT_EQ(cli.checkAccessibility, c.query);
    }
}

TEST(CommandLine, TheRateSetsTheWritersInterval) {
    EXPECT_EQ(TARGET_FPS, 15u);
    EXPECT_EQ(FRAME_INTERVAL_NS, 66'666'666u);
    testing::internal::CaptureStderr();
    set_target_fps(30);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[capture] FPS set to 30 from CLI argument\n");
    EXPECT_EQ(FRAME_INTERVAL_NS, 33'333'333u);
}

TEST(DisplayChoice, MainDisplayElseTheFirstListedElseNone) {
    const std::vector<DisplayInfo> displays = {{7, 0, 0, 800, 600}, {3, 800, 0, 1920, 1080}, {9, 0, 600, 640, 480}};
    EXPECT_EQ(choose_display(displays, 3)->width, 1920u);
    EXPECT_EQ(choose_display(displays, 9)->id, 9u);
    EXPECT_EQ(choose_display(displays, 42)->id, 7u);
    EXPECT_FALSE(choose_display({}, 0));
}

// The layout the stream announces ("BGRA" in memory), the display at its own
// size with the pointer, at most one picture per frame of the stream.
TEST(CaptureConfig, TheWholeDisplayInTheStreamsLayout) {
    for (uint32_t fps : {1u, 120u}) {
        const CaptureConfig c = make_capture_config(DisplayInfo{7, -1440, 200, 1440, 900}, fps);
        EXPECT_EQ(std::tuple(c.pixelFormat, c.width, c.height, c.showsCursor, c.queueDepth, c.frameIntervalValue),
                  std::tuple(uint32_t('B' << 24 | 'G' << 16 | 'R' << 8 | 'A'), 1440u, 900u, true, 3, int64_t{1}));
        EXPECT_EQ(c.frameIntervalTimescale, int32_t(fps));
    }
}

// An 8x6 frame with padded rows; pixel (x, y) is B = x, G = y, R = 100.
constexpr uint32_t kW = 8, kH = 6;
constexpr size_t kStride = kW * 4 + 8;

std::vector<uint8_t> frame() {
    std::vector<uint8_t> f(kStride * kH, 0xEE);
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            uint8_t* p = &f[y * kStride + x * 4];
            p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = 100, p[3] = 255;
        }
    return f;
}

TEST(CursorComposite, PremultipliedOverAndClippedAtTheEdges) {
    auto f = frame();
    const uint32_t cursor[] = {0xFFFFFFFFu, 0x80800000u, 0};  // opaque white, half red, transparent
    composite_cursor(f.data(), kW, kH, kStride, cursor, 3, 1, 3, 2);
    const uint8_t* p = &f[2 * kStride + 3 * 4];
    EXPECT_EQ(std::vector<uint8_t>(p, p + 12),
              (std::vector<uint8_t>{255, 255, 255, 255, 2, 1, 0x80 + 50, 255, 5, 2, 100, 255}));

    // A white 3x3 cursor at each place covers exactly its visible part, padding never.
    const std::vector<uint32_t> white(3 * 3, 0xFFFFFFFFu);
    for (auto [left, top] : {std::pair<int64_t, int64_t>{-2, -2}, {6, 4}, {-1, 3}, {2, 1}, {-3, 0}, {kW, 0}, {0, kH}}) {
        f = frame();
        composite_cursor(f.data(), kW, kH, kStride, white.data(), 3, 3, left, top);
        for (uint32_t y = 0; y < kH; ++y) {
            for (int64_t x = 0; x <= kW; ++x) {
                const bool inside = x >= left && x < left + 3 && x < kW && y >= top && y < top + 3;
                EXPECT_EQ(f[y * kStride + x * 4 + 2], inside ? 255 : x < kW ? 100 : 0xEE) << left << "," << top;
            }
        }
    }
}

}  // namespace
