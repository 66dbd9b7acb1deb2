// Control messages through the real helper arrive at a test window as the
// X server's own pointer, button and key events.

#include <gtest/gtest.h>

#include <array>

#include "e2e/x_client.h"

namespace {

constexpr uint32_t kControlL = 0xFFE3, kShiftL = 0xFFE1;

struct Session {
    Xvfb server;
    XClient x{server.display()};
    std::vector<uint32_t> keymapBefore;
    std::unique_ptr<Child> helper;

    Session() {
        x.open_input_window();
        keymapBefore = x.keymap();
        helper = std::make_unique<Child>(helper_args(), on(server));
    }
    bool started() { return x.ok() && helper->wait_log("[ctrl] control loop started, reading stdin...\n"); }
    void expect(uint8_t type, uint32_t keysymOrButton, int16_t x0 = -1, int16_t y0 = -1) {
        const auto e = x.next_event();
        ASSERT_TRUE(e) << "nothing for " << std::hex << keysymOrButton << "\n" << helper->log();
        EXPECT_EQ(e->type, type);
        EXPECT_EQ(type <= XCB_KEY_RELEASE ? e->keysym : e->detail, keysymOrButton) << std::hex << e->keysym;
        if (x0 >= 0) {
            EXPECT_EQ(std::pair(e->x, e->y), std::pair(x0, y0));
        }
    }
};

TEST(Input, PointerMovesButtonsAndScrollsLandWhereTheyWereSent) {
    Session s;
    ASSERT_TRUE(s.started()) << s.helper->log();
    for (auto [x, y, atX, atY] : {std::array{10, 20, 10, 20}, {639, 479, 639, 479}, {0, 0, 0, 0},
                                  {65535, 65535, 639, 479}}) {
        s.helper->send(move_to(uint16_t(x), uint16_t(y)));
        EXPECT_TRUE(eventually([&] { return s.x.pointer() == std::pair(atX, atY); })) << x << "," << y;
    }
    s.helper->send(move_to(50, 60));
    s.helper->send({0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x02, 0x01, 0x02, 0x02, 0x00,  // left, right
                    0x02, 0x07, 0x01, 0x02, 0x07, 0x00, 0x03, 0x00, 0x02, 0x03, 0xFF, 0xFF});  // middle; 2 up, 1 down
    for (uint8_t button : {1, 3, 2, 4, 4, 5}) {
        s.expect(XCB_BUTTON_PRESS, button, 50, 60);
        s.expect(XCB_BUTTON_RELEASE, button, 50, 60);
    }
    // A button left held is let go when the input ends.
    s.helper->send({0x02, 0x01, 0x01});
    s.helper->send(move_to(80, 90));
    s.expect(XCB_BUTTON_PRESS, 1, 50, 60);
    s.helper->close_stdin();
    s.expect(XCB_BUTTON_RELEASE, 1, 80, 90);
    EXPECT_EQ(s.helper->exit_code(), 0);
}

TEST(Input, KeysAndCharactersArriveAsThemselvesAndNothingStaysBehind) {
    Session s;
    ASSERT_TRUE(s.started()) << s.helper->log();
    const std::pair<uint16_t, uint32_t> keys[] = {{65, 'a'},       {90, 'z'},       {48, '0'},    {44, ','},
                                                  {17, kControlL}, {524, kControlL}, {18, 0xFFE9}, {10, 0xFF0D},
                                                  {112, 0xFFBE},   {157, 0},        {8, 0xFF08}};
    for (auto [vk, keysym] : keys) {
        SCOPED_TRACE(vk);
        s.helper->send(key(vk, 1));
        s.helper->send(key(vk, 0));
        if (keysym == 0) continue;  // unmapped: nothing, and the next key is the next event
        s.expect(XCB_KEY_PRESS, keysym);
        s.expect(XCB_KEY_RELEASE, keysym);
    }
    s.helper->send(text('x', 1));
    s.helper->send(text('x', 0));
    s.expect(XCB_KEY_PRESS, 'x');
    s.expect(XCB_KEY_RELEASE, 'x');
    const std::pair<uint32_t, uint32_t> characters[] = {
        {0xE9, 0xE9}, {0x20AC, 0x010020AC}, {0x4E2D, 0x01004E2D}, {0x1F600, 0x0101F600}, {0x85, 0}};
    s.helper->send(key(16, 1));  // Shift held: characters outside the keymap still arrive as themselves
    s.expect(XCB_KEY_PRESS, kShiftL);
    for (auto [cp, keysym] : characters) {
        SCOPED_TRACE(cp);
        s.helper->send(text(cp, 1));
        s.helper->send(text(cp, 0));
        if (keysym == 0) continue;  // a control character has no key
        s.expect(XCB_KEY_PRESS, keysym);
        s.expect(XCB_KEY_RELEASE, keysym);
    }
    // What is held when the input ends is let go; the keymap is as it was.
    s.helper->send(text(0x1F600, 1));
    s.expect(XCB_KEY_PRESS, 0x0101F600);
    s.helper->close_stdin();
    s.expect(XCB_KEY_RELEASE, kShiftL);
    s.expect(XCB_KEY_RELEASE, 0x0101F600);
    EXPECT_EQ(s.helper->exit_code(), 0);
    EXPECT_TRUE(eventually([&] { return s.x.keymap() == s.keymapBefore; }));
}

}  // namespace
