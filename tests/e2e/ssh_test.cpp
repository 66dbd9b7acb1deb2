// The viewer over ssh, as a person would share a screen on another machine:
// ssh to a private sshd on the loopback address runs the helper on a private
// X server there; the viewer's window shows that screen and operates it, and
// closing the window ends ssh and the helper behind it.

#include <gtest/gtest.h>

#include "e2e/sshd.h"
#include "e2e/viewer_screen.h"

namespace {

TEST(Ssh, TheViewerShowsAndOperatesAScreenSharedOverSshAndClosingItEndsBoth) {
    if (access(Sshd::kPath, X_OK) != 0) GTEST_SKIP() << "no sshd (scripts/setup.sh installs openssh-server)";
    SharedTerminal t;  // the far screen is the shared one
    ASSERT_TRUE(t.xterm);
    const Xvfb &far = t.shared, &local = t.local;
    const std::string& typed = t.typed;
    const Sshd sshd;
    ASSERT_NE(sshd.port(), 0) << sshd.log();

    std::vector<std::string> args = {VIEWER_PATH, "--"};
    for (const auto& a : sshd.ssh({"env", "DISPLAY=" + far.display(), HELPER_PATH, "15"})) args.push_back(a);
    Child viewer(args, viewer_on(local), controller::Output::Null);
    // The helper's log comes through ssh's stderr.
    ASSERT_TRUE(viewer.wait_log("[ctrl] control loop started", 30s)) << viewer.log() << sshd.log();
    ViewerScreen screen(local);
    const xcb_window_t window = showing(screen, far);
    ASSERT_NE(window, 0u) << viewer.log();

    // Keys typed in the window reach the far terminal (with no window manager, the keyboard follows the pointer).
    screen.xdotool("mousemove --window " + std::to_string(window) + " 300 200");
    screen.xdotool("type 'over ssh'");
    screen.xdotool("key Return");
    EXPECT_TRUE(eventually([&] { return read_file(typed) == "over ssh\r"; }, 30s)) << read_file(typed);
    EXPECT_EQ(showing(screen, far), window);  // what was typed, drawn

    // ssh's status is the far helper's: 0 when its stdin's end reached it and it stopped.
    screen.close(window);
    EXPECT_EQ(viewer.exit_code(30s), 0) << viewer.log();
    EXPECT_NE(viewer.log().find("frames shown of"), std::string::npos) << viewer.log();
}

}  // namespace
