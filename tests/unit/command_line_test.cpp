#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture/settings.h"

TEST(CommandLine, OnlyTheFirstArgumentCountsReadTheWayAtoiReadsIt) {
    struct Case {
        std::vector<const char*> args;
        std::optional<uint32_t> fps;
        bool query = false;
    } cases[] = {
        {{}, {}},
        {{"30"}, 30u},
        {{"30fps", "60"}, 30u},
        {{"  +45"}, 45u},
        {{"1"}, 1u},
        {{"120"}, 120u},
        {{"121"}, {}},
        {{"0"}, {}},
        {{"-5"}, {}},
        {{"abc"}, {}},
        {{""}, {}},
        {{"4294967326"}, {}},  // 30 when cut to 32 bits: still out of range
        {{"99999999999999999999"}, {}},
        {{"-2147483648"}, {}},
        {{"--check-accessibility"}, {}, true},
        {{"--check-accessibility", "30"}, {}, true},
        {{"--check-accessibility=1"}, {}},
        {{"--Check-Accessibility"}, {}},
        {{"30", "--check-accessibility"}, 30u},
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
