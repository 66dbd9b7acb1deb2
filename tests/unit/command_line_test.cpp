#include "app/command_line.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

CommandLine parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"screenshare-helper"};
    argv.insert(argv.end(), args);
    return parse_command_line(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, FrameRatesAreReadTheWayAtoiReadsThem) {
    struct Case {
        const char* arg;
        std::optional<uint32_t> fps;
    } cases[] = {
        {"30", 30u},  {"30fps", 30u}, {"  +45", 45u}, {"1", 1u},     {"120", 120u},
        {"121", {}},  {"0", {}},      {"-5", {}},     {"abc", {}},   {"", {}},
        {"4294967326", {}},  // wraps to 30 in 32 bits; must stay out of range
        {"99999999999999999999", {}},
        {"-2147483648", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        const CommandLine cli = parse({c.arg});
        EXPECT_FALSE(cli.checkAccessibility);
        EXPECT_EQ(cli.fps, c.fps);
    }
}

TEST(CommandLine, OnlyTheExactFirstArgumentSelectsThePermissionQuery) {
    EXPECT_TRUE(parse({"--check-accessibility"}).checkAccessibility);
    EXPECT_TRUE(parse({"--check-accessibility", "30"}).checkAccessibility);
    EXPECT_FALSE(parse({"--check-accessibility=1"}).checkAccessibility);
    EXPECT_FALSE(parse({"--Check-Accessibility"}).checkAccessibility);
    EXPECT_FALSE(parse({"30", "--check-accessibility"}).checkAccessibility);
    EXPECT_EQ(parse({"30", "60"}).fps, 30u);
    EXPECT_EQ(parse({}).fps, std::nullopt);
}

}  // namespace
