// Key and text messages through the real helper reach a window as the
// expected keysyms; the keymap is left as it was found.

#include <gtest/gtest.h>

#include "support/input_helper_session.h"

namespace {

using namespace std::chrono_literals;

constexpr uint32_t kControlL = 0xFFE3, kAltL = 0xFFE9, kShiftL = 0xFFE1, kReturn = 0xFF0D, kF1 = 0xFFBE;

std::vector<uint8_t> key(uint16_t vk, uint8_t action) { return {0x04, uint8_t(vk >> 8), uint8_t(vk), action}; }
std::vector<uint8_t> text(uint32_t cp, uint8_t action) {
    return {0x05, uint8_t(cp >> 16), uint8_t(cp >> 8), uint8_t(cp), action};
}

void expect_key(InputHelperSession& s, uint8_t type, uint32_t keysym) {
    const auto e = s.client.next_event(2s);
    ASSERT_TRUE(e) << "no event for keysym " << std::hex << keysym;
    EXPECT_EQ(e->type, type);
    EXPECT_EQ(e->keysym, keysym) << std::hex << "keysym 0x" << e->keysym;
}

TEST(InputKeyboard, KeysArriveAsTheirUsKeysyms) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    struct {
        uint16_t vk;
        uint32_t keysym;
    } cases[] = {{65, 'a'}, {90, 'z'}, {48, '0'}, {44, ','}, {17, kControlL}, {524, kControlL},
                 {18, kAltL}, {10, kReturn}, {112, kF1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vk);
        s.send(key(c.vk, 1));
        s.send(key(c.vk, 0));
        expect_key(s, XCB_KEY_PRESS, c.keysym);
        expect_key(s, XCB_KEY_RELEASE, c.keysym);
    }
    s.send(key(157, 1));  // unmapped: nothing arrives
    EXPECT_FALSE(s.client.next_event(200ms));
}

TEST(InputKeyboard, CharactersArriveAsThemselvesAndTheKeymapIsRestored) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    const auto before = s.client.keymap();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    struct {
        uint32_t cp;
        uint32_t keysym;
    } cases[] = {{'x', 'x'}, {0xE9, 0xE9}, {0x20AC, 0x010020AC}, {0x1F600, 0x0101F600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cp);
        s.send(text(c.cp, 1));
        s.send(text(c.cp, 0));
        expect_key(s, XCB_KEY_PRESS, c.keysym);
        expect_key(s, XCB_KEY_RELEASE, c.keysym);
    }
    s.helper->close_stdin();  // spare keys keep their characters until input ends
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0);
    EXPECT_TRUE(s.client.wait_for_keymap(before, 2s));
}

TEST(InputKeyboard, ACharacterIsItselfEvenWithShiftHeld) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.send(key(16, 1));
    expect_key(s, XCB_KEY_PRESS, kShiftL);
    s.send(text(0xE9, 1));
    s.send(text(0xE9, 0));
    expect_key(s, XCB_KEY_PRESS, 0xE9);
    expect_key(s, XCB_KEY_RELEASE, 0xE9);
    s.send(key(16, 0));
    expect_key(s, XCB_KEY_RELEASE, kShiftL);
}

TEST(InputKeyboard, KeysAndCharactersLeftHeldAreReleasedAtTheEnd) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    const auto before = s.client.keymap();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.send(key(17, 1));
    s.send(text(0x1F600, 1));
    expect_key(s, XCB_KEY_PRESS, kControlL);
    expect_key(s, XCB_KEY_PRESS, 0x0101F600);
    s.helper->close_stdin();
    expect_key(s, XCB_KEY_RELEASE, kControlL);
    expect_key(s, XCB_KEY_RELEASE, 0x0101F600);
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0);
    EXPECT_TRUE(s.client.wait_for_keymap(before, 2s));
}

}  // namespace
