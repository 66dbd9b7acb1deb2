// The viewer between a person and a shared screen: the helper on one private X
// server with a terminal, the viewer's window on another. A drag, a middle
// click and typing in the window reach the terminal, the window shows the
// shared screen pixel for pixel, and closing the window ends both programs,
// as does the window destroyed by another client.

#include <gtest/gtest.h>

#include "e2e/viewer_screen.h"

namespace {

// The viewer on `local` sharing `shared`; the helper's status comes back on
// its stderr, which the viewer passes through.
std::unique_ptr<Child> viewer(const Xvfb& local, const Xvfb& shared) {
    return std::make_unique<Child>(
        std::vector<std::string>{
            VIEWER_PATH, "--", "sh", "-c",
            "DISPLAY=" + shared.display() + " \"$0\" 30; s=$?; echo \"helper exited with status $s\" >&2; exit $s",
            HELPER_PATH},
        viewer_on(local), controller::Output::Null);
}

TEST(Viewer, OperatesTheSharedTerminalShowsItsScreenExactlyAndClosesWithTheHelper) {
    SharedTerminal t;
    ASSERT_TRUE(t.xterm);
    const Xvfb &shared = t.shared, &local = t.local;
    const std::string& typed = t.typed;
    const auto viewer = ::viewer(local, shared);
    ASSERT_TRUE(viewer->wait_log("[ctrl] control loop started", 30s)) << viewer->log();
    ViewerScreen screen(local);
    const xcb_window_t window = showing(screen, shared);  // and so it is mapped and the frames come
    ASSERT_NE(window, 0u) << viewer->log();
    EXPECT_EQ(screen.size(window), std::pair(640, 480));  // 1:1, with room to spare

    // Select the first line by dragging past its end, and paste it with the middle button.
    screen.xdotool("mousemove --window " + std::to_string(window) + " 3 8 mousedown 1 mousemove --window " +
                   std::to_string(window) + " 60 8 mouseup 1 click 2");
    EXPECT_TRUE(eventually([&] { return read_file(typed) == "hello\r"; }, 30s)) << read_file(typed);
    // é is on a key of its own here, as on a French keyboard: it reaches the viewer as text only.
    shell("DISPLAY=" + local.display() + " xmodmap -e \"keycode $(DISPLAY=" + local.display() +
          " xmodmap -pke | awk 'NF <= 3 { k = $2 } END { print k }') = eacute\"");
    screen.xdotool("type 'Hi \u00e9!'");
    screen.xdotool("key Return");
    EXPECT_TRUE(eventually([&] { return read_file(typed) == "hello\rHi \u00e9!\r"; }, 30s)) << read_file(typed);
    EXPECT_EQ(showing(screen, shared), window);  // the selection drawn, the pointer moved

    screen.close(window);
    EXPECT_EQ(viewer->exit_code(30s), 0) << viewer->log();
    EXPECT_NE(viewer->log().find("helper exited with status 0\n"), std::string::npos) << viewer->log();
}

// xdotool windowclose destroys the window outright, where a window manager would ask: the
// viewer ends as a close ends it, with no X error about the window gone.
TEST(Viewer, AWindowDestroyedByAnotherClientEndsItAsACloseDoes) {
    Xvfb shared("640x480x24"), local("800x600x24");
    XClient painter(shared.display());
    painter.fill(100, 100, 200, 150, 0x30A050);
    const auto viewer = ::viewer(local, shared);
    ViewerScreen screen(local);
    const xcb_window_t window = showing(screen, shared);  // frames coming: the window is in use when it goes
    ASSERT_NE(window, 0u) << viewer->log();
    screen.xdotool("windowclose " + std::to_string(window));
    EXPECT_EQ(viewer->exit_code(30s), 0) << viewer->log();
    EXPECT_NE(viewer->log().find("frames shown of"), std::string::npos) << viewer->log();
    EXPECT_NE(viewer->log().find("helper exited with status 0\n"), std::string::npos) << viewer->log();
    EXPECT_EQ(viewer->log().find("X Error"), std::string::npos) << viewer->log();
}

}  // namespace
