// The real helper on private X servers: how it starts and ends, also when
// its controller misbehaves, what the stream holds, and the input it posts.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <tuple>

#include "e2e/x_client.h"

namespace {

// Whether a frame soon shows the screen from (dx, dy) on, exactly and opaque,
// but for the pointer drawn near frame pixel (px, py).
bool shows_screen(Child& helper, const StreamHeader& h, XClient& x, int px, int py, int dx = 0, int dy = 0) {
    const Bytes screen = x.pixels();
    const size_t rootWidth = screen.size() / 4 / x.root_height();
    return eventually([&] {
        const auto frame = read_frame(helper, h);
        bool same = frame.has_value(), pointer = false;
        for (uint32_t p = 0; same && p < h.width * h.height; ++p) {
            const bool near = std::abs(int(p % h.width) - px) < 24 && std::abs(int(p / h.width) - py) < 24;
            const uint8_t* at = &screen[((p / h.width + dy) * rootWidth + p % h.width + dx) * 4];
            const bool differs = memcmp(&(*frame)[p * 4], at, 3) != 0 || (*frame)[p * 4 + 3] != 255;
            same = near || !differs, pointer = pointer || (near && differs);
        }
        return same && pointer;
    });
}

// What is read each tick: only what changed; the whole screen once a
// compositing manager turns up, or without DAMAGE; without MIT-SHM, through
// GetImage. Every paint and pointer move soon reaches the stream.
class CaptureChanges : public testing::TestWithParam<std::string> {};

TEST_P(CaptureChanges, PaintsAndPointerMovesReachTheStreamPixelExact) {
    const std::string mode = GetParam();
    Xvfb server("320x240x24", mode == "NoDamage" ? "DAMAGE" : mode == "NoShm" ? "MIT-SHM" : "");
    XClient x(server.display());
    Child helper({HELPER_PATH}, on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h) << helper.log();
    EXPECT_EQ(std::tuple(h->magic, h->version, h->width, h->height, h->fps, h->format, h->frameBytes),
              std::tuple("ZNTV", 1u, 320u, 240u, 15u, 0x41524742u, 320u * 240 * 4));
    const char* line = mode == "NoDamage" ? "lacks DAMAGE" : mode == "NoShm" ? "using GetImage" : "only what changed";
    ASSERT_TRUE(helper.wait_log(line)) << helper.log();
    if (mode == "CompositorOwned") x.own_selection("_NET_WM_CM_S0");
    ASSERT_TRUE(mode != "CompositorOwned" || helper.wait_log("compositing manager runs")) << helper.log();
    x.warp(300, 220);
    x.fill(10, 10, 200, 50, 0xFF0000);
    x.fill(20, 100, 30, 30, 0xC08040);
    EXPECT_TRUE(shows_screen(helper, *h, x, 300, 220));
    x.warp(100, 100);  // where it was is the screen again
    EXPECT_TRUE(shows_screen(helper, *h, x, 100, 100));
    x.fill(90, 90, 30, 30, 0x0000FF);  // under the pointer
    EXPECT_TRUE(shows_screen(helper, *h, x, 100, 100));
}

INSTANTIATE_TEST_SUITE_P(Modes, CaptureChanges, testing::Values("Damage", "CompositorOwned", "NoDamage", "NoShm"),
                         [](const auto& mode) { return mode.param; });

// The primary monitor is captured from its place, clipped to the screen,
// and moves land on the frame pixel they name.
TEST(CaptureMonitors, ThePrimaryMonitorIsCapturedAndOperatedInPlace) {
    for (auto [mx, my, mw, mh] : {std::array{8, 16, 320, 200}, {320, 0, 640, 480}}) {  // the second reaches past the screen
        SCOPED_TRACE(mx);
        Xvfb server("640x480x24");
        XClient x(server.display());
        x.fill(10, 20, 50, 30, 0xFF0000), x.warp(mx + 50, my + 60);
        ASSERT_TRUE(x.add_monitor(mx, my, mw, mh));
        Child helper(helper_args(), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h && helper.wait_log("control loop started")) << helper.log();
        const int w = std::min(mw, 640 - mx), ht = std::min(mh, 480 - my);
        EXPECT_EQ(std::pair(int(h->width), int(h->height)), std::pair(w, ht));
        EXPECT_TRUE(shows_screen(helper, *h, x, 50, 60, mx, my));
        for (auto [fx, fy] : {std::pair{10, 20}, {w - 1, ht - 1}}) {
            helper.send(move_to(uint16_t(fx), uint16_t(fy)));
            EXPECT_TRUE(eventually([&] { return x.pointer() == std::pair(mx + fx, my + fy); })) << fx << "," << fy;
        }
    }
}

TEST(CaptureFailure, NoUsableOrALostScreenEndsWithStatusOneAndNothingOnStdout) {
    Xvfb shallow("640x480x16");
    const std::string lines = "[capture] Screen Recording permission may not be granted.\n"
                              "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n";
    const std::pair<std::string, std::string> cases[] = {  // the display, and the first line
        {":987", "[capture] ERROR: getShareableContent failed: cannot open X display \":987\"\n"},
        {shallow.display(), "[capture] ERROR: startCapture failed: unsupported visual (depth 16"}};
    for (const auto& [display, firstLine] : cases) {
        SCOPED_TRACE(display);
        Child helper({HELPER_PATH}, {{"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}});
        EXPECT_TRUE(fails_with(helper, firstLine));
        EXPECT_TRUE(logs(helper, lines));
    }
    // And an X server lost while streaming.
    Xvfb server("320x240x24");
    Child helper(helper_args("10"), on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && read_frame(helper, *h)) << helper.log();
    server.stop();
    EXPECT_EQ(helper.exit_code(), 1);
    EXPECT_TRUE(logs(helper, "[capture] ERROR: lost the connection to the X server\n"));
}

// Whether each of the lines of `lines` is in `log`, in this order; other
// threads' lines may come in between.
bool in_order(const std::string& log, const std::string& lines) {
    std::istringstream in(lines);
    size_t at = 0;
    for (std::string line; std::getline(in, line); at += line.size()) {
        if ((at = log.find(line, at)) == std::string::npos) return false;
    }
    return true;
}

// Without XTEST, input cannot be posted: the X11 form of a missing permission.
TEST(Lifecycle, PermissionAnswersStartUpAFloodOfBytesAndTheEndWithAndWithoutXtest) {
    for (const bool xtest : {true, false}) {
        SCOPED_TRACE(xtest);
        Xvfb server("320x240x24", xtest ? "" : "XTEST");
        const std::string denied = "[ctrl] Accessibility permission NOT granted.\n"
                                   "[ctrl] A system dialog has been shown asking for permission.\n";
        Child query({HELPER_PATH, "--check-accessibility"}, on(server));
        EXPECT_EQ(query.exit_code(), xtest ? 0 : 1);
        EXPECT_TRUE(query.read(1, 100ms).empty());
        EXPECT_EQ(query.log(), xtest ? "[ctrl] Accessibility permission granted.\n"
                                     : denied + "[ctrl] Please grant access in System Settings > Privacy & Security > "
                                                "Accessibility.\n"
                                                "[ctrl] Then click 'Start Capture' again. No app restart needed.\n");

        // Then 2 MB of random bytes, about two million messages, closed between
        // two messages: the helper keeps streaming, its memory stays flat, it ends cleanly.
        Child helper(helper_args("24"), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h && read_frame(helper, *h) && helper.wait_log("control loop started")) << helper.log();
        std::mt19937 random(20261207);
        Bytes flood(2 << 20);
        for (auto& byte : flood) byte = uint8_t(random());
        flood.insert(flood.end(), 5, 0x06);  // unknown types: whatever message was open is complete
        std::thread writer([&] { helper.send(flood), helper.close_stdin(); });
        const auto resident_kib = [&] { return proc_number(helper.pid(), "status", "VmRSS:"); };
        const long before = resident_kib();
        long peak = before;
        while (read_frame(helper, *h)) peak = std::max(peak, resident_kib());
        writer.join();
        EXPECT_EQ(helper.exit_code(), 0);
        EXPECT_LT(peak - before, 8 * 1024) << before << " KiB before";
        const std::string log = helper.log();
        const std::string report = xtest ? "[ctrl] Accessibility permission granted.\n"
                                         : denied + "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n"
                                                    "[ctrl] and enable this app. No restart needed after granting.\n";
        EXPECT_TRUE(in_order(log, "[capture] FPS set to 24 from CLI argument\n[capture] Display: 320x240 (ID=\n"
                                      "[capture] ScreenCaptureKit stream started OK\n" + report +
                                      "[capture] Frame writer timer started at 24 fps\n" +
                                      (xtest ? "" : "[ctrl] WARNING: Accessibility permission not granted.\n") +
                                      "[ctrl] control loop started, reading stdin...\n"
                                      "[ctrl] stdin EOF, control loop exiting\n"
                                      "[capture] stdin closed, stopping SCStream...\n"
                                      "[capture] SCStream stopped cleanly\n"))
            << log;
        EXPECT_EQ(log.find("NOT") == std::string::npos, xtest) << log;
        EXPECT_TRUE(in_order(log, "[capture] dimensions resolved: 320x240\n[capture] header sent: 320x240 frameBytes=307200\n"));
    }
}

// A reader that reads to the end of the stream (one recording it, or ffmpeg)
// gets the header and whole frames only, however the end falls.
TEST(Lifecycle, AReaderThatReadsToTheEndGetsWholeFramesOnly) {
    Xvfb server("1280x720x24");
    for (const bool lagging : {false, true, false, true}) {
        SCOPED_TRACE(lagging);
        Child helper(helper_args("30"), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h) << helper.log();
        helper.close_stdin();  // while a frame may be on its way
        size_t bytes = 0;
        for (Bytes chunk; !(chunk = helper.read(64 * 1024, 5s)).empty(); bytes += chunk.size()) {
            if (lagging) usleep(1000);  // a reader that falls behind the writer
        }
        EXPECT_EQ(bytes % h->frameBytes, 0u) << bytes << " bytes after the header";
        EXPECT_EQ(helper.exit_code(), 0) << helper.log();
    }
}

constexpr uint32_t kControlL = 0xFFE3, kShiftL = 0xFFE1, kCapsLock = 0xFFE5;
constexpr const char* kStarted = "[ctrl] control loop started, reading stdin...\n";

struct Session {
    Xvfb server;
    XClient x{server.display()};
    std::vector<uint32_t> keymapBefore = (x.open_input_window(), x.keymap());
    std::unique_ptr<Child> helper;

    bool start() { return helper = std::make_unique<Child>(helper_args(), on(server)), helper->wait_log(kStarted); }
    // The next event: its type, keysym (keys) or button, and where it happened.
    void expect(uint8_t type, uint32_t keysymOrButton, std::pair<int, int> at = {-1, -1}) {
        const auto e = x.next_event();
        ASSERT_TRUE(e) << "nothing for " << std::hex << keysymOrButton << "\n" << helper->log();
        EXPECT_EQ(std::pair(e->type, type <= XCB_KEY_RELEASE ? e->keysym : e->detail), std::pair(type, keysymOrButton));
        EXPECT_TRUE(at.first < 0 || (std::pair<int, int>(e->x, e->y) == at)) << e->x << "," << e->y;
    }
    void expect_typed(uint32_t keysym) { expect(XCB_KEY_PRESS, keysym), expect(XCB_KEY_RELEASE, keysym); }
};

// Control messages arrive at a test window as the X server's own pointer,
// button and key events, the same whatever the server's layout.
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
        for (const bool shift : {false, true}) {  // Shift held: characters are still themselves
            if (shift) s.helper->send(key(16, 1)), s.expect(XCB_KEY_PRESS, kShiftL);
            for (auto [cp, keysym] : characters) {
                s.helper->send(text(cp, 1)), s.helper->send(text(cp, 0));
                if (keysym) s.expect_typed(keysym);  // a control character has no key
            }
        }
    }
}

// Stdin closed behind a burst that still waits for keys, and keys behind it:
// the helper ends promptly all the same, says what it dropped, types nothing
// after the gap (a line cut short and then submitted), and gives the keys back.
TEST(Input, TextStillWaitingForKeysAtTheEndIsDroppedWithWhatFollowsAndTheKeymapRestored) {
    Session s;
    ASSERT_TRUE(s.start()) << s.helper->log();
    std::u32string burst;
    for (char32_t cp = 0x4E00; cp < 0x4E00 + 1000; ++cp) burst += cp;
    s.helper->send(typed_text(burst) + typed_keys("end\n"));
    s.helper->close_stdin();
    EXPECT_TRUE(ends_by(*s.helper, 0, 5s));
    EXPECT_TRUE(logs(*s.helper, "typed characters still waiting for a free key at the end were dropped, and 8 "
                                "events queued behind them\n"));
    // Only keys without symbols of their own were pressed: none of E, N, D, Enter.
    const size_t width = s.keymapBefore.size() / (256 - 8);
    while (const auto e = s.x.next_event(1s)) {
        if (e->type > XCB_KEY_RELEASE) continue;
        const auto row = s.keymapBefore.begin() + ptrdiff_t((e->detail - 8) * width);
        EXPECT_TRUE(std::all_of(row, row + ptrdiff_t(width), [](uint32_t k) { return k == 0; })) << int(e->detail);
    }
    EXPECT_TRUE(eventually([&] { return s.x.keymap() == s.keymapBefore; }));
}

int shm_segments_of(pid_t pid) {
    std::ifstream table("/proc/sysvipc/shm");
    table.ignore(1 << 16, '\n');  // the heading
    int count = 0;
    for (long key, id, perms, size, creator; table >> key >> id >> perms >> size >> creator;)
        count += creator == pid, table.ignore(1 << 16, '\n');
    return count;
}

// A long run of characters outside the keymap arrives in order; however the
// helper ends, what the remote user held is let go first, a Caps Lock they
// turned on is off again, the keymap is as it was, and nothing of the helper
// stays on the X server.
TEST(Input, ALongRunArrivesInOrderAndNothingStaysBehindHoweverTheHelperEnds) {
    // Fewer than a stock Xvfb's 19 spare keys: whether a reused key is read
    // in time depends on how far this client lags, which no test should.
    const std::u32string run = U"éàüößçñø日本語字中😀🎉€";
    Session s;
    for (const int ending : {0, SIGTERM, SIGINT, SIGHUP, SIGPIPE}) {  // 0: stdin closed; SIGPIPE: stdout closed
        SCOPED_TRACE(ending);
        const int clientsBefore = s.x.client_count();
        ASSERT_TRUE(s.start()) << s.helper->log();
        EXPECT_GT(s.x.client_count(), clientsBefore);
        EXPECT_GT(shm_segments_of(s.helper->pid()), 0);
        s.helper->send(typed_text(run + run + run) + key(20, 1) + key(20, 0) +  // Caps Lock on; then held at the end:
                       text(0x1F60E, 1) + key(16, 1) + move_to(30, 40) + button(1, 1));
        for (char32_t cp : run + run + run) s.expect_typed(cp < 0x100 ? cp : 0x01000000 + cp);
        s.expect_typed(kCapsLock);
        s.expect(XCB_KEY_PRESS, 0x0101F60E), s.expect(XCB_KEY_PRESS, kShiftL), s.expect(XCB_BUTTON_PRESS, 1, {30, 40});
        EXPECT_TRUE(s.x.caps_lock_on());
        if (ending == 0) s.helper->close_stdin();
        if (ending == SIGPIPE) s.helper->close_stdout();
        if (ending != 0 && ending != SIGPIPE) kill(s.helper->pid(), ending);
        s.expect(XCB_BUTTON_RELEASE, 1, {30, 40}), s.expect(XCB_KEY_RELEASE, kShiftL), s.expect_typed(kCapsLock);
        s.expect(XCB_KEY_RELEASE, 0x0101F60E);
        EXPECT_TRUE(ends_by(*s.helper, ending, 5s));
        EXPECT_FALSE(s.x.caps_lock_on());
        EXPECT_TRUE(eventually([&] { return s.x.keymap() == s.keymapBefore; }));
        EXPECT_TRUE(eventually([&] { return s.x.client_count() == clientsBefore; }));
        EXPECT_TRUE(eventually([&] { return shm_segments_of(s.helper->pid()) == 0; }));
    }
}

}  // namespace
