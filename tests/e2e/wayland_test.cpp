// The real helper on private headless sway compositors: the output it
// streams, the input it posts through the virtual pointer and keyboard, and
// how it ends.

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "e2e/helper.h"
#include "e2e/sway.h"

namespace {

// Whether a frame soon is grim's picture of the output, pointer included, exactly and opaque.
bool shows_output(Child& helper, const StreamHeader& h, const Sway& sway, const std::string& output = "HEADLESS-1") {
    return eventually([&] {
        const Bytes rgb = grim(sway, output);
        const auto frame = read_frame(helper, h);
        bool same = frame && rgb.size() == h.width * h.height * 3;
        for (size_t p = 0; same && p < h.width * h.height; ++p) {
            const uint8_t* f = &(*frame)[p * 4];
            same = f[0] == rgb[p * 3 + 2] && f[1] == rgb[p * 3 + 1] && f[2] == rgb[p * 3] && f[3] == 255;
        }
        return same;
    }, 10s);
}

TEST(Wayland, TheOutputIsStreamedAndInputArrivesAsSentUntilTheHelperEnds) {
    Sway sway(640, 480);
    ASSERT_NE(sway.socket(), "") << sway.log();
    Bytes empty;  // once swaybg has drawn the background: the one colour on the screen, which tells blue from red
    ASSERT_TRUE(eventually([&] { return (empty = grim(sway)).size() == 640 * 480 * 3 && empty[0] == 0x20 && empty[2] == 0xC0; },
                           10s));
    // Whether a window soon covers the output (or no longer does): most pixels differ from the
    // empty output's, whatever the pointer sway draws into the picture does.
    const auto covered = [&](bool yes) {
        return eventually([&] {
            const Bytes now = grim(sway);
            size_t differing = 0;
            for (size_t p = 0; p < now.size(); p += 3) differing += memcmp(&now[p], &empty[p], 3) != 0;
            return (differing > 640 * 240) == yes;
        }, 10s);
    };
    Child helper(helper_args(), on(sway));
    const auto h = read_header(helper);
    ASSERT_TRUE(h) << helper.log();
    EXPECT_EQ(std::tuple(h->magic, h->version, h->width, h->height, h->fps, h->format, h->frameBytes),
              std::tuple("ZNTV", 1u, 640u, 480u, 30u, 0x41524742u, 640u * 480 * 4));

    // A window shown, then gone: each picture soon reaches the stream.
    {
        Wev shownThenClosed(sway);
        ASSERT_TRUE(covered(true)) << shownThenClosed.log();
        EXPECT_TRUE(shows_output(helper, *h, sway));
    }
    ASSERT_TRUE(covered(false));
    EXPECT_TRUE(shows_output(helper, *h, sway));

    // Moves to frame pixels (arriving as a motion, or as the enter of the first) at a window over
    // the whole output.
    Wev wev(sway);
    ASSERT_TRUE(covered(true) && helper.wait_log("[ctrl] control loop started")) << helper.log();
    for (auto [x, y, at] : {std::tuple<uint16_t, uint16_t, std::string>{65535, 65535, "639.000000, 479.000000"},
                            {10, 20, "10.000000, 20.000000"}, {50, 60, "50.000000, 60.000000"}}) {
        helper.send(move_to(x, y));
        EXPECT_TRUE(wev.next("x, y: " + at)) << at << "\n" << wev.log();
    }
    // Buttons, each acted on at its frame; wheel steps up, then down (X11's buttons 4 and 5), a
    // click's worth each as libinput reports it; keys as their US symbols, Shift honoured and then
    // gone, latched nowhere; characters as themselves (only a press has one). Each in this order.
    helper.send(button(1, 1) + button(1, 0) + button(2, 1) + button(2, 0) + button(7, 1) + button(7, 0) + scroll(1) +
                scroll(-1) + typed_keys("a\n") + typed_keys("a", true) + typed_keys("a") + typed_text(U"é日本😀"));
    for (const char* event : {"button: 272 (left), state: 1 (pressed)", "wl_pointer] frame", "272 (left), state: 0",
                              "button: 273 (right), state: 1 (pressed)", "wl_pointer] frame", "273 (right), state: 0",
                              "button: 274 (middle), state: 1 (pressed)", "wl_pointer] frame", "274 (middle), state: 0",
                              "(vertical), discrete: -1", "(vertical), value: -15.00", "(vertical), discrete: 1",
                              "state: 1 (pressed) sym: a (97), utf8: 'a'", "state: 0 (released) sym: a (97)",
                              "state: 1 (pressed) sym: Return (65293)", "state: 0 (released) sym: Return (65293)",
                              "state: 1 (pressed) sym: A (65), utf8: 'A'", "state: 1 (pressed) sym: a (97), utf8: 'a'",
                              "utf8: 'é'", "utf8: '日'", "utf8: '本'", "utf8: '😀'"})
        EXPECT_TRUE(wev.next(event)) << event << "\n" << wev.log();
}

// Two outputs, the one at the layout's origin listed second: that one is
// streamed, and a move lands on it at the frame pixel it names, where the
// pointer is then drawn over the plain background.
TEST(Wayland, TheOutputAtTheLayoutsOriginIsStreamedAndOperatedWhereverItIsListed) {
    Sway sway(640, 480, 320);
    ASSERT_NE(sway.socket(), "") << sway.log();
    Child helper(helper_args(), on(sway));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && helper.wait_log("[ctrl] control loop started")) << helper.log();
    EXPECT_EQ(std::pair(h->width, h->height), std::pair(320u, 480u));
    for (auto [x, y] : {std::pair{100, 100}, {200, 300}}) {  // the second only redraws around the pointer
        helper.send(move_to(uint16_t(x), uint16_t(y)));
        EXPECT_TRUE(eventually([&] {
            const auto frame = read_frame(helper, *h);
            bool near = false, far = false;
            for (uint32_t p = 0; frame && p < h->width * h->height; ++p) {
                const bool drawn = memcmp(&(*frame)[p * 4], "\xC0\x60\x20", 3) != 0;  // not the background, in BGR
                (std::abs(int(p % h->width) - x) < 32 && std::abs(int(p / h->width) - y) < 32 ? near : far) |= drawn;
            }
            return near && !far;
        })) << x << "," << y << "\n" << helper.log();
    }
    EXPECT_TRUE(shows_output(helper, *h, sway, "HEADLESS-2"));
}

// A seat gets its keyboard and pointer from the helper (sway's own has none):
// a GTK entry still receives, whole, what is typed right after the first frame,
// characters on new keys and letters as keys, whichever comes first.
TEST(Wayland, AGtkEntryReceivesEverythingTypedRightAfterTheFirstFrame) {
    Sway sway(640, 480);
    ASSERT_NE(sway.socket(), "") << sway.log();
    const std::u32string characters = U"ĀāĂăĄąĆćĈĉĊċČčĎďĐđĒēĔĕĖėĘę";
    const std::string letters = "abcdefghijklmnopqrstuvwxyz";
    for (int run = 0; run < 5; ++run) {  // letters first in odd runs
        // GTK finds no Wayland compositor without XDG_RUNTIME_DIR.
        const auto entry = sway.run("env XDG_RUNTIME_DIR=\"${WAYLAND_DISPLAY%/*}\" GDK_BACKEND=wayland NO_AT_BRIDGE=1 zenity --entry");
        ASSERT_TRUE(eventually([&] { return sway.command("'[app_id=^zenity$ con_id=__focused__] nop'"); }, 30s)) << entry->log();
        const Bytes l = typed_keys(letters), c = typed_text(characters);
        const std::string sent = run % 2 ? letters + utf8(characters) : utf8(characters) + letters;
        EXPECT_EQ(entered(*entry, on(sway), run % 2 ? l + c : c + l), sent + "\n") << "run " << run << "\n"
                                                                                   << entry->log();
    }
}

// As on X11: no compositor, or one lost while streaming, ends the helper with
// status 1 and an error line; a signal ends it by that signal, input let go.
// (A reader closing the stream is the same on every display: X11's tests cover it.)
TEST(Wayland, NoCompositorALostOneOrASignalEndsTheHelper) {
    Child none(helper_args(), {{"WAYLAND_DISPLAY", "/nonexistent/wayland-0"}, {"DISPLAY", ""}});
    EXPECT_TRUE(fails_with(none, "[capture] ERROR: "));

    Sway sway(320, 240);
    ASSERT_NE(sway.socket(), "") << sway.log();
    Child query({HELPER_PATH, "--check-accessibility"}, on(sway));  // virtual input offered: nothing to grant
    EXPECT_EQ(query.exit_code(), 0);
    EXPECT_EQ(query.log(), "[ctrl] Accessibility permission granted.\n");
    // However it ends, by a signal or with stdin closed in the middle of a
    // message, what the remote user holds is let go first.
    Wev wev(sway);
    for (int ending : {SIGTERM, SIGINT, SIGHUP, 0}) {
        Child held(helper_args(), on(sway));
        ASSERT_TRUE(read_header(held) && held.wait_log("[ctrl] control loop started")) << held.log();
        // Keys sent before wev has its keyboard, or before its window is shown, reach nobody.
        held.send(move_to(10 + ending, 10));
        ASSERT_TRUE(wev.next("wl_keyboard] enter", false) && wev.next(std::to_string(10 + ending) + ".000000, 10", false));
        held.send(text(0x1F60E, 1)), held.send(key(16, 1)), held.send(button(1, 1));
        for (const char* down : {"(pressed) sym: U0001F60E", "(pressed) sym: Shift_L", "272 (left), state: 1 (pressed)"})
            EXPECT_TRUE(wev.next(down)) << down << " " << ending << "\n" << wev.log();
        ending ? void(kill(held.pid(), ending)) : (held.send({0x04, 0x00}), held.close_stdin());
        for (const char* up : {"(released) sym: U0001F60E", "(released) sym: Shift_L", "272 (left), state: 0 (released)"})
            EXPECT_TRUE(wev.next(up, false)) << up << " " << ending;
        EXPECT_TRUE(ends_by(held, ending));
    }

    Child helper(helper_args(), on(sway));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && read_frame(helper, *h)) << helper.log();
    EXPECT_EQ(std::pair(h->width, h->height), std::pair(320u, 240u));
    // A mode change leaves the stream at its first size, still going.
    ASSERT_TRUE(sway.command("output HEADLESS-1 resolution 400x300"));
    EXPECT_TRUE(eventually([&] { return grim(sway).size() == 400 * 300 * 3; }, 10s));
    for (int frame = 0; frame < 10; ++frame) EXPECT_TRUE(read_frame(helper, *h)) << helper.log();
    EXPECT_FALSE(helper.wait(0ms)) << helper.log();
    sway.kill();
    EXPECT_EQ(helper.exit_code(), 1);
    EXPECT_TRUE(logs(helper, "\n[capture] ERROR: "));
}

}  // namespace
