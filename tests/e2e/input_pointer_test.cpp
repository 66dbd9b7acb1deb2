// Pointer messages through the real helper arrive on the X server.

#include <gtest/gtest.h>

#include "support/input_helper_session.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> move(uint16_t x, uint16_t y) {
    return {0x01, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)};
}

TEST(InputPointer, LandsWhereAMoveSentIt) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    for (auto [x, y] : {std::pair{10, 20}, {639, 479}, {0, 0}, {321, 123}}) {
        s.send(move(uint16_t(x), uint16_t(y)));
        EXPECT_TRUE(s.client.wait_for_pointer(x, y, 2s)) << x << "," << y;
    }
    // Past the screen's edge the server keeps the pointer on it.
    s.send(move(65535, 65535));
    EXPECT_TRUE(s.client.wait_for_pointer(639, 479, 2s));
}

TEST(InputPointer, MovesAreRelativeToTheCapturedMonitor) {
    InputHelperSession s("800x600x24");
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    if (!s.client.add_primary_monitor(100, 50, 320, 240)) GTEST_SKIP() << "no RandR monitors on this server";
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    if (s.helper->stderr_text().find("Display: 320x240") == std::string::npos) {
        GTEST_SKIP() << "the capture did not choose the added monitor: " << s.helper->stderr_text();
    }
    s.send(move(10, 20));
    EXPECT_TRUE(s.client.wait_for_pointer(110, 70, 2s));
    s.send(move(319, 239));
    EXPECT_TRUE(s.client.wait_for_pointer(419, 289, 2s));
}

TEST(InputPointer, AWindowReceivesButtonsAndScrollClicks) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.send(move(50, 60));
    s.send({0x02, 0x01, 0x01, 0x02, 0x01, 0x00,   // left
            0x02, 0x02, 0x01, 0x02, 0x02, 0x00,   // right
            0x02, 0x07, 0x01, 0x02, 0x07, 0x00,   // another: middle
            0x03, 0x00, 0x02, 0x03, 0xFF, 0xFF}); // two lines up, one down
    struct Expected {
        uint8_t type, button;
    } expected[] = {
        {XCB_BUTTON_PRESS, 1}, {XCB_BUTTON_RELEASE, 1}, {XCB_BUTTON_PRESS, 3}, {XCB_BUTTON_RELEASE, 3},
        {XCB_BUTTON_PRESS, 2}, {XCB_BUTTON_RELEASE, 2}, {XCB_BUTTON_PRESS, 4}, {XCB_BUTTON_RELEASE, 4},
        {XCB_BUTTON_PRESS, 4}, {XCB_BUTTON_RELEASE, 4}, {XCB_BUTTON_PRESS, 5}, {XCB_BUTTON_RELEASE, 5},
    };
    for (const auto& want : expected) {
        const auto e = s.client.next_event(2s);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->type, want.type);
        EXPECT_EQ(e->detail, want.button);
        EXPECT_EQ(e->x, 50);
        EXPECT_EQ(e->y, 60);
    }
    EXPECT_FALSE(s.client.next_event(200ms));
}

TEST(InputPointer, AButtonLeftHeldIsReleasedWhenStdinCloses) {
    InputHelperSession s;
    ASSERT_TRUE(s.server.ok() && s.client.ok());
    s.client.open_window();
    ASSERT_TRUE(s.start()) << s.helper->stderr_text();
    s.send(move(30, 30));
    s.send({0x02, 0x01, 0x01, 0x01, 0x00, 0x50, 0x00, 0x50});  // press, drag
    const auto press = s.client.next_event(2s);
    ASSERT_TRUE(press);
    EXPECT_EQ(press->type, XCB_BUTTON_PRESS);
    ASSERT_TRUE(s.client.wait_for_pointer(80, 80, 2s));
    s.helper->close_stdin();
    const auto release = s.client.next_event(2s);
    ASSERT_TRUE(release) << s.helper->stderr_text();
    EXPECT_EQ(release->type, XCB_BUTTON_RELEASE);
    EXPECT_EQ(release->detail, 1);
    EXPECT_EQ(s.helper->wait_exit_code(5s), 0);
}

}  // namespace
