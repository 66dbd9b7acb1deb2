// Code points to UTF-16 units for text events.

#include <gtest/gtest.h>

#include "input/keyboard.h"

namespace {

TEST(TextUnits, BmpIsOneUnitTakenUnchanged) {
    for (uint32_t cp : {0x00E9u, 0x0041u, 0xD800u, 0xDFFFu, 0xFFFFu, 0u}) {
        SCOPED_TRACE(cp);
        const auto e = text_event(cp, true);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->unitCount, 1u);
        EXPECT_EQ(e->units[0], cp);
        EXPECT_EQ(e->keyCode, 0);
        EXPECT_EQ(e->flags, 0u);
        EXPECT_TRUE(e->keyDown);
    }
}

TEST(TextUnits, AboveBmpIsASurrogatePair) {
    struct {
        uint32_t cp;
        uint16_t high, low;
    } cases[] = {{0x1F600, 0xD83D, 0xDE00}, {0x10000, 0xD800, 0xDC00}, {0x10FFFF, 0xDBFF, 0xDFFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cp);
        const auto e = text_event(c.cp, false);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->unitCount, 2u);
        EXPECT_EQ(e->units[0], c.high);
        EXPECT_EQ(e->units[1], c.low);
        EXPECT_FALSE(e->keyDown);
    }
}

TEST(TextUnits, BeyondUnicodeIsRefused) {
    // 0x110000 would come out as the pair D800 DC00, i.e. U+10000.
    EXPECT_FALSE(text_event(0x110000, true));
    EXPECT_FALSE(text_event(0xFFFFFF, true));
}

}  // namespace
