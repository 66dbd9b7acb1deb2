// Control messages through the real helper arrive at a test window as the
// X server's own pointer, button and key events.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <fstream>
#include <sstream>

#include "e2e/x_client.h"

namespace {

constexpr uint32_t kControlL = 0xFFE3, kShiftL = 0xFFE1;

struct Session {
    Xvfb server;
    XClient x{server.display()};
    std::vector<uint32_t> keymapBefore = (x.open_input_window(), x.keymap());
    std::unique_ptr<Child> helper;

    bool start() {
        helper = std::make_unique<Child>(helper_args(), on(server));
        return x.ok() && helper->wait_log("[ctrl] control loop started, reading stdin...\n");
    }
    // The next event: its type, keysym (keys) or button, and where it happened.
    void expect(uint8_t type, uint32_t keysymOrButton, std::pair<int, int> at = {-1, -1}) {
        const auto e = x.next_event();
        ASSERT_TRUE(e) << "nothing for " << std::hex << keysymOrButton << "\n" << helper->log();
        EXPECT_EQ(std::pair(e->type, type <= XCB_KEY_RELEASE ? e->keysym : e->detail), std::pair(type, keysymOrButton));
        EXPECT_TRUE(at.first < 0 || (std::pair<int, int>(e->x, e->y) == at)) << e->x << "," << e->y;
    }
    void expect_typed(uint32_t keysym) { expect(XCB_KEY_PRESS, keysym), expect(XCB_KEY_RELEASE, keysym); }
};

// The same messages do the same whatever the server's layout.
TEST(Input, PointerKeysAndCharactersArriveAsSentWithUsAndGermanLayouts) {
    for (const char* layout : {"us", "de"}) {
        SCOPED_TRACE(layout);
        Session s;
        ASSERT_EQ(system(("setxkbmap -display " + s.server.display() + " " + layout).c_str()), 0);
        ASSERT_TRUE(s.start()) << s.helper->log();
        for (auto [x, y, atX, atY] : {std::array{10, 20, 10, 20}, {639, 479, 639, 479}, {65535, 65535, 639, 479}}) {
            s.helper->send(move_to(uint16_t(x), uint16_t(y)));
            EXPECT_TRUE(eventually([&] { return s.x.pointer() == std::pair(atX, atY); })) << x << "," << y;
        }
        s.helper->send(move_to(50, 60));
        s.helper->send({0x02, 0x01, 0x01, 0x02, 0x01, 0x00, 0x02, 0x02, 0x01, 0x02, 0x02, 0x00,  // left, right
                        0x02, 0x07, 0x01, 0x02, 0x07, 0x00, 0x03, 0x00, 0x02, 0x03, 0xFF, 0xFF});  // middle; 2 up, 1 down
        for (uint8_t button : {1, 3, 2, 4, 4, 5}) {
            s.expect(XCB_BUTTON_PRESS, button, {50, 60});
            s.expect(XCB_BUTTON_RELEASE, button, {50, 60});
        }
        const std::pair<uint16_t, uint32_t> keys[] = {
            {65, 'a'},       {89, 'y'},    {90, 'z'},    {48, '0'},     {44, ','}, {47, '/'},   {91, '['}, {61, '='},
            {17, kControlL}, {524, kControlL}, {18, 0xFFE9}, {10, 0xFF0D}, {112, 0xFFBE}, {157, 0}, {8, 0xFF08}};
        for (auto [vk, keysym] : keys) {
            s.helper->send(key(vk, 1)), s.helper->send(key(vk, 0));
            if (keysym) s.expect_typed(keysym);  // unmapped: nothing, and the next key is the next event
        }
        const std::pair<uint32_t, uint32_t> characters[] = {
            {'y', 'y'},           {'@', '@'},           {'/', '/'}, {0xFC, 0xFC}, {0xE9, 0xE9}, {0x85, 0},
            {0x20AC, 0x010020AC}, {0x4E2D, 0x01004E2D}, {0x1F600, 0x0101F600}};
        for (const bool shift : {false, true}) {  // Shift held: characters outside the keymap are still themselves
            if (shift) s.helper->send(key(16, 1)), s.expect(XCB_KEY_PRESS, kShiftL);
            for (auto [cp, keysym] : characters) {
                if (shift && keysym < 0x100) continue;
                s.helper->send(text(cp, 1)), s.helper->send(text(cp, 0));
                if (keysym) s.expect_typed(keysym);  // a control character has no key
            }
        }
    }
}

int shm_segments_of(pid_t pid) {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    int count = 0;
    for (std::getline(table, line); std::getline(table, line);) {
        std::istringstream fields(line);
        long key, id, perms, size, creator = 0;
        count += fields >> key >> id >> perms >> size >> creator && creator == pid;
    }
    return count;
}

// A long run of characters outside the keymap arrives in order; however the
// helper ends, what the remote user held is let go first, the keymap is as it
// was, and nothing of the helper stays on the X server.
TEST(Input, ALongRunArrivesInOrderAndNothingStaysBehindHoweverTheHelperEnds) {
    // Fewer than a stock Xvfb's 19 spare keys: whether a reused key is read
    // in time depends on how far this client lags, which no test should.
    const uint32_t run[] = {0xE9,   0xE0,   0xFC,   0xF6,   0xDF,   0xE7,    0xF1,    0xF8,
                            0x65E5, 0x672C, 0x8A9E, 0x5B57, 0x4E2D, 0x1F600, 0x1F389, 0x20AC};
    Session s;
    for (const int ending : {0, SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {  // 0: stdin closed; SIGPIPE: stdout closed
        SCOPED_TRACE(ending);
        const int clientsBefore = s.x.client_count();
        ASSERT_TRUE(s.start()) << s.helper->log();
        EXPECT_GT(s.x.client_count(), clientsBefore);
        EXPECT_GT(shm_segments_of(s.helper->pid()), 0);
        Bytes bytes;
        const auto add = [&](const Bytes& b) { bytes.insert(bytes.end(), b.begin(), b.end()); };
        for (int round = 0; round < 3; ++round)
            for (uint32_t cp : run) add(text(cp, 1)), add(text(cp, 0));
        add(text(0x1F60E, 1)), add(key(16, 1)), add({0x01, 0, 30, 0, 40, 0x02, 0x01, 0x01});  // held at the end
        s.helper->send(bytes);
        for (int round = 0; round < 3; ++round)
            for (uint32_t cp : run) s.expect_typed(cp < 0x100 ? cp : 0x01000000 + cp);
        s.expect(XCB_KEY_PRESS, 0x0101F60E), s.expect(XCB_KEY_PRESS, kShiftL), s.expect(XCB_BUTTON_PRESS, 1, {30, 40});
        if (ending == 0) s.helper->close_stdin();
        if (ending == SIGPIPE) s.helper->close_stdout();
        if (ending != 0 && ending != SIGPIPE) kill(s.helper->pid(), ending);
        s.expect(XCB_BUTTON_RELEASE, 1, {30, 40}), s.expect(XCB_KEY_RELEASE, kShiftL);
        s.expect(XCB_KEY_RELEASE, 0x0101F60E);
        const auto status = s.helper->wait(5s);
        ASSERT_TRUE(status);
        EXPECT_EQ(WIFSIGNALED(*status) ? WTERMSIG(*status) : WEXITSTATUS(*status), ending);
        EXPECT_TRUE(eventually([&] { return s.x.keymap() == s.keymapBefore; }));
        EXPECT_TRUE(eventually([&] { return s.x.client_count() == clientsBefore; }));
        EXPECT_TRUE(eventually([&] { return shm_segments_of(s.helper->pid()) == 0; }));
    }
}

}  // namespace
