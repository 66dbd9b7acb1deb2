// The real helper on private headless GNOME desktops (mutter): the monitor it
// streams, the input it posts through mutter's remote desktop, and how it ends.

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <tuple>

#include "e2e/gnome.h"
#include "e2e/helper.h"

namespace {

// foot over the whole monitor in one colour, reporting each click and wheel
// step (SGR mouse reports) and passing every byte typed, as typed, to `typed`.
std::unique_ptr<Child> foot(const Gnome& gnome, const std::string& typed) {
    return gnome.start({"foot", "--fullscreen", "-o", "colors.background=204080", "-o", "scrollback.multiplier=1", "--", "sh", "-c",
                        "stty raw -echo; printf '\\033[?1000h\\033[?1006h'; exec cat > " + typed});
}

// Whether a frame soon is foot's colour but for its text cursor and the pointer, opaque throughout.
bool shows_foot(Child& helper, const StreamHeader& h) {
    return eventually([&] {
        const auto frame = read_frame(helper, h);
        size_t other = 0, translucent = 0;
        for (size_t p = 0; frame && p < size_t(h.width) * h.height; ++p) {
            other += memcmp(&(*frame)[p * 4], "\x80\x40\x20", 3) != 0;
            translucent += (*frame)[p * 4 + 3] != 255;
        }
        return frame && other < 2000 && translucent == 0;
    }, 20s);
}

// The helper on `gnome` with `env`: the monitor streamed as foot drew it; keys, a burst of
// characters, buttons and wheel steps reaching foot as sent; held input let go at the end.
void streams_and_operates(const Gnome& gnome, const std::map<std::string, std::string>& env) {
    const std::string typed = std::filesystem::path(gnome.bus().substr(10)).parent_path() / "typed";
    auto terminal = foot(gnome, typed);
    Child helper(helper_args(), env);
    const auto h = read_header(helper);
    ASSERT_TRUE(h) << helper.log();
    EXPECT_EQ(std::tuple(h->magic, h->version, h->width, h->height, h->fps, h->format, h->frameBytes),
              std::tuple("ZNTV", 1u, 1280u, 720u, 30u, 0x41524742u, 1280u * 720 * 4));
    ASSERT_TRUE(shows_foot(helper, *h)) << terminal->log();
    ASSERT_TRUE(helper.wait_log("[ctrl] control loop started")) << helper.log();
    // The file is made once the terminal is raw: keys typed before would be a line still being edited.
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(typed); }, 10s));
    // Keys as their US symbols, Shift honoured; then a burst of characters, each as itself.
    helper.send(typed_keys("hi") + typed_keys("a", true) + typed_keys("\n"));
    std::string expected = "hiA\r", burst;
    std::mt19937 random(22);
    for (int i = 0; i < 300; ++i) burst += char(std::uniform_int_distribution<int>(0x21, 0x7E)(random));
    helper.send(typed_text(std::u32string(burst.begin(), burst.end())));
    expected += burst;
    const auto arrived = [&] { return read_file(typed) + "\n" + helper.log(); };  // what foot wrote, and why not more
    EXPECT_TRUE(eventually([&] { return read_file(typed) == expected; }, 20s)) << arrived();

    // Buttons and wheel steps at a frame pixel, reported by foot in its cells.
    const std::string log = terminal->log();
    int cellWidth = 0, cellHeight = 0;
    sscanf(log.substr(log.rfind("cell width=")).c_str(), "cell width=%d, height=%d", &cellWidth, &cellHeight);
    ASSERT_GT(cellWidth * cellHeight, 0) << log;
    helper.send(move_to(300, 200));
    const std::string cell = ";" + std::to_string((300 - 2) / cellWidth + 1) + ";" + std::to_string((200 - 2) / cellHeight + 1);
    for (auto [b, code] : {std::pair<uint8_t, int>{1, 0}, {2, 2}, {7, 1}}) {
        helper.send(button(b, 1)), helper.send(button(b, 0));
        expected += "\033[<" + std::to_string(code) + cell + "M\033[<" + std::to_string(code) + cell + "m";
    }
    helper.send(scroll(1)), helper.send(scroll(-1));  // up, then down, as X11's buttons 4 and 5
    expected += "\033[<64" + cell + "M\033[<65" + cell + "M";
    EXPECT_TRUE(eventually([&] { return read_file(typed) == expected; }, 10s)) << arrived();

    // A button still held when stdin closes is let go; the helper ends with status 0.
    helper.send(button(1, 1));
    helper.close_stdin();
    expected += "\033[<0" + cell + "M\033[<0" + cell + "m";
    EXPECT_TRUE(eventually([&] { return read_file(typed) == expected; }, 10s)) << arrived();
    EXPECT_EQ(helper.exit_code(), 0) << helper.log();
}

TEST(Gnome, TheMonitorIsStreamedAndInputReachesAClientThroughMutterUntilTheHelperEnds) {
    Gnome gnome;
    ASSERT_TRUE(gnome.ready()) << gnome.log();
    streams_and_operates(gnome, on(gnome));
}

// With no backend named, the portal is chosen on this Wayland desktop; a stand-in answers for
// it, forwarding to mutter. The session closed by the desktop, or a refused dialog, ends the
// helper with status 1.
TEST(Gnome, ThroughThePortalTheSameWorksAndAClosedSessionOrARefusalEndsTheHelper) {
    Gnome gnome;
    ASSERT_TRUE(gnome.ready()) << gnome.log();
    auto portal = gnome.start({STAND_IN_PORTAL_PATH}, true);
    ASSERT_TRUE(eventually([&] { return gnome.owned("org.freedesktop.portal.Desktop"); }, 10s)) << portal->log();
    Child query({HELPER_PATH, "--check-accessibility"}, on(gnome, ""));
    EXPECT_EQ(query.exit_code(), 0) << query.log();
    streams_and_operates(gnome, on(gnome, ""));

    // The desktop ending the session while streaming ends the helper, as a lost display does.
    Child closed(helper_args(), on(gnome, "portal"));
    ASSERT_TRUE(read_header(closed)) << closed.log();
    kill(portal->pid(), SIGUSR1);
    EXPECT_EQ(closed.exit_code(), 1);
    EXPECT_TRUE(logs(closed, "\n[capture] ERROR: the desktop closed the remote-desktop session\n"));

    portal = gnome.start({STAND_IN_PORTAL_PATH, "--refuse"}, true);
    ASSERT_TRUE(eventually([&] { return gnome.owned("org.freedesktop.portal.Desktop"); }, 10s)) << portal->log();
    Child refused(helper_args(), on(gnome, "portal"));
    EXPECT_TRUE(fails_with(refused, "[capture] ERROR: startCapture failed: the user did not allow sharing the screen"));
}

// Each session brings a new keyboard to the seat (this one has none of its own): a GTK entry
// still receives, whole, what is typed right after the first frame, characters and keys,
// whichever comes first.
TEST(Gnome, AGtkEntryReceivesEverythingTypedRightAfterTheFirstFrame) {
    Gnome gnome;
    ASSERT_TRUE(gnome.ready()) << gnome.log();
    // Only what the US layout has, which is all mutter types; keys as the symbols of their codes.
    const std::string characters = "THE+QUICK:{BROWN}|FOX?<JUMPS>~!@#$%^&*()_\"`'";
    const std::string keys = "the,quick-brown.fox/jumps;over=[lazy\\dog]0123456789";
    // The debug log shows an array's size only: a dialog neither maximized, fullscreen nor
    // being resized has one state once mutter has given it the focus, activated.
    const auto focused = [](const std::string& log) {
        std::istringstream lines(log);
        for (std::string l; std::getline(lines, l);) {
            const auto has = [&](const char* part) { return l.find(part) != std::string::npos; };
            if (has("xdg_toplevel@") && has(".configure(") && has(", array[4])")) return true;
        }
        return false;
    };
    for (int run = 0; run < 5; ++run) {  // keys first in odd runs
        const auto entry = gnome.start({"GDK_BACKEND=wayland", "NO_AT_BRIDGE=1", "WAYLAND_DEBUG=1", "zenity", "--entry"});
        ASSERT_TRUE(eventually([&] { return focused(entry->log()); }, 30s)) << entry->log();
        const Bytes k = typed_keys(keys), c = typed_text(std::u32string(characters.begin(), characters.end()));
        const std::string sent = run % 2 ? keys + characters : characters + keys;
        EXPECT_EQ(entered(*entry, on(gnome), run % 2 ? k + c : c + k), sent + "\n") << "run " << run << "\n"
                                                                                    << entry->log();
    }
}

// No portal and mutter gone each end the helper, with an error line where it failed; the
// permission check answers from what mutter offers.
TEST(Gnome, NoPortalOrMutterGoneEndsTheHelper) {
    Gnome gnome;
    ASSERT_TRUE(gnome.ready()) << gnome.log();
    Child portal(helper_args(), on(gnome, "portal"));
    EXPECT_TRUE(fails_with(portal, "[capture] ERROR: getShareableContent failed: no desktop portal"));
    Child query({HELPER_PATH, "--check-accessibility"}, on(gnome));
    EXPECT_EQ(query.exit_code(), 0);
    EXPECT_EQ(query.log(), "[ctrl] Accessibility permission granted.\n");

    Child helper(helper_args(), on(gnome));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && read_frame(helper, *h)) << helper.log();
    gnome.kill_mutter();
    EXPECT_EQ(helper.exit_code(), 1);
    EXPECT_TRUE(logs(helper, "\n[capture] ERROR: "));
}

// Without a session manager nothing links the screen cast's stream: the
// helper gives up on the first picture and says what it waited for.
TEST(Gnome, AStreamThatNoSessionManagerLinksEndsTheHelperWithWhatItWaitsFor) {
    Gnome gnome(false);
    ASSERT_TRUE(gnome.ready()) << gnome.log();
    Child helper(helper_args(), on(gnome));
    EXPECT_TRUE(fails_with(helper, "[capture] ERROR: the capture started, but no picture came within 10 s: "
                                   "the PipeWire stream is ", 30s));
    EXPECT_TRUE(logs(helper, "; a session manager such as WirePlumber must be running\n"
                             "[capture] Screen Recording permission may not be granted.\n"));
}

}  // namespace
