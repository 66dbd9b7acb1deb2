// Long runs of characters outside the keymap, other layouts, and what the
// helper gives back however it ends.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/input_helper_session.h"

namespace {

using namespace std::chrono_literals;

void add_text(std::vector<uint8_t>& out, uint32_t cp, uint8_t action) {
    out.insert(out.end(), {0x05, uint8_t(cp >> 16), uint8_t(cp >> 8), uint8_t(cp), action});
}
uint32_t keysym_of(uint32_t cp) { return cp < 0x100 ? cp : 0x01000000 + cp; }

void expect_key(InputHelperSession& s, uint8_t type, uint32_t keysym) {
    const auto e = s.client.next_event(3s);
    ASSERT_TRUE(e) << "no event for keysym " << std::hex << keysym;
    EXPECT_EQ(e->type, type);
    EXPECT_EQ(e->keysym, keysym) << std::hex << "keysym 0x" << e->keysym << " for 0x" << keysym;
}

TEST(InputTyping, ALongRunArrivesInOrderAndTheKeymapIsBackHoweverTheHelperEnds) {
    const uint32_t run[] = {0xE9, 0xE0, 0xFC, 0xF6, 0xDF, 0xE7, 0xF1, 0xF8, 0xE5,
                            0xE6, 0x65E5, 0x672C, 0x8A9E, 0x5B57, 0x1F600, 0x1F389};
    struct {
        const char* how;
        int signal;  // 0: exits with status 0
    } endings[] = {{"stdin closed", 0}, {"SIGTERM", SIGTERM}, {"stdout closed", SIGPIPE}};
    for (const auto& ending : endings) {
        SCOPED_TRACE(ending.how);
        InputHelperSession s;
        ASSERT_TRUE(s.server.ok() && s.client.ok());
        s.client.open_window();
        const auto before = s.client.keymap();
        ASSERT_TRUE(s.start()) << s.helper->stderr_text();
        std::vector<uint8_t> bytes;
        for (int round = 0; round < 3; ++round) {
            for (uint32_t cp : run) add_text(bytes, cp, 1), add_text(bytes, cp, 0);
        }
        add_text(bytes, 0x20AC, 1);  // held when the helper ends
        s.send(bytes);
        for (int round = 0; round < 3; ++round) {
            for (uint32_t cp : run) {
                expect_key(s, XCB_KEY_PRESS, keysym_of(cp));
                expect_key(s, XCB_KEY_RELEASE, keysym_of(cp));
            }
        }
        expect_key(s, XCB_KEY_PRESS, keysym_of(0x20AC));
        if (ending.signal == SIGTERM) s.helper->kill_now(SIGTERM);
        if (ending.signal == SIGPIPE) s.helper->close_stdout();
        if (ending.signal == 0) s.helper->close_stdin();
        expect_key(s, XCB_KEY_RELEASE, keysym_of(0x20AC));
        const auto status = s.helper->wait_exit(5s);
        ASSERT_TRUE(status);
        EXPECT_EQ(WIFSIGNALED(*status) ? WTERMSIG(*status) : WEXITSTATUS(*status), ending.signal);
        EXPECT_TRUE(s.client.wait_for_keymap(before, 2s));
    }
}

TEST(InputTyping, WithAGermanLayoutKeysAndTextArriveAsWithUs) {
    for (const char* layout : {"us", "de"}) {
        SCOPED_TRACE(layout);
        InputHelperSession s;
        ASSERT_TRUE(s.server.ok() && s.client.ok());
        ASSERT_EQ(std::system(("setxkbmap -display " + s.server.display() + " " + layout).c_str()), 0);
        s.client.open_window();
        ASSERT_TRUE(s.start()) << s.helper->stderr_text();
        // {vk, or 0 for text; code point} with the keysym expected either way.
        const std::pair<uint16_t, uint32_t> cases[] = {{89, 'y'}, {90, 'z'}, {47, '/'}, {91, '['}, {61, '='},
                                                       {0, 'y'},  {0, 0xFC}, {0, '@'},  {0, '/'}};
        for (const auto& [vk, cp] : cases) {
            SCOPED_TRACE(cp);
            for (uint8_t action : {1, 0}) {
                if (vk) s.send({0x04, uint8_t(vk >> 8), uint8_t(vk), action});
                if (!vk) s.send({0x05, 0, uint8_t(cp >> 8), uint8_t(cp), action});
                expect_key(s, action ? XCB_KEY_PRESS : XCB_KEY_RELEASE, cp);
            }
        }
    }
}

}  // namespace
