// The key map and the keyboard rules built on it.

#include <gtest/gtest.h>

#include <vector>

#include "input/keyboard.h"
#include "input/keymap.h"

namespace {

TEST(KeyMap, Samples) {
    EXPECT_EQ(awt_to_mac_keycode(65), 0x00);  // A: key code 0 is a real key
    EXPECT_EQ(awt_to_mac_keycode(90), 0x06);
    EXPECT_EQ(awt_to_mac_keycode(17), 0x37);  // Control becomes Command
    EXPECT_EQ(awt_to_mac_keycode(524), 0x37);
    EXPECT_EQ(awt_to_mac_keycode(18), 0x3A);
    EXPECT_EQ(awt_to_mac_keycode(44), 0x2B);
    EXPECT_EQ(awt_to_mac_keycode(48), 0x1D);
    EXPECT_EQ(awt_to_mac_keycode(57), 0x19);
    EXPECT_EQ(awt_to_mac_keycode(112), 0x7A);
    EXPECT_EQ(awt_to_mac_keycode(123), 0x6F);
    EXPECT_EQ(awt_to_mac_keycode(127), 0x75);
    EXPECT_EQ(awt_to_mac_keycode(8), 0x33);
    for (uint16_t vk : {157, 155, 19, 154, 144, 145, 96, 111, 124, 7, 525, 0x2C00, 65535}) {
        SCOPED_TRACE(vk);
        EXPECT_FALSE(awt_to_mac_keycode(vk));
    }
}

TEST(KeyMap, HasExactly78EntriesBetween8And524AndNoMacControl) {
    int mapped = 0;
    for (uint32_t vk = 0; vk <= 0xFFFF; ++vk) {
        const auto code = awt_to_mac_keycode(static_cast<uint16_t>(vk));
        if (!code) continue;
        ++mapped;
        EXPECT_GE(vk, 8u);
        EXPECT_LE(vk, 524u);
        EXPECT_NE(*code, 0x3B);
        EXPECT_LT(*code, 0x80);
    }
    EXPECT_EQ(mapped, 78);
}

std::vector<InputEvent> g_released;
void record(const InputEvent& e) { g_released.push_back(e); }

TEST(KeyEvents, HeldKeysAndCharactersAreReleasedOnce) {
    KeyboardState s;
    key_event(s, 16, 1);   // Shift held
    key_event(s, 17, 1);   // Control (Command) held
    key_event(s, 524, 0);  // Windows is Command too: lets it go
    key_event(s, 65, 1);
    key_event(s, 65, 0);
    const TextEvent e = *text_event(0xE9, true);
    track_text(s, e);
    track_text(s, e);  // a repeat holds it once
    track_text(s, *text_event(0x1F600, true));
    track_text(s, *text_event(0x1F600, false));

    g_released.clear();
    release_held_keys(s, record);
    ASSERT_EQ(g_released.size(), 2u);
    const auto& shift = std::get<KeyEvent>(g_released[0]);
    EXPECT_EQ(shift.keyCode, 0x38);
    EXPECT_FALSE(shift.keyDown);
    const auto& text = std::get<TextEvent>(g_released[1]);
    EXPECT_FALSE(text.keyDown);
    EXPECT_EQ(text.units[0], 0xE9);

    g_released.clear();
    release_held_keys(s, record);
    EXPECT_TRUE(g_released.empty());
}

}  // namespace
