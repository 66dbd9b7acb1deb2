// The viewer between a person and a shared screen: the helper on one private X
// server with a terminal, the viewer's window on another. A drag, a middle
// click and typing in the window reach the terminal, the window shows the
// shared screen pixel for pixel, and closing the window ends both programs.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e/x_client.h"

namespace {

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// The server the viewer's window is on, as a window manager and a screen grab see it.
class ViewerScreen {
public:
    explicit ViewerScreen(const Xvfb& server) : server_(server), c_(xcb_connect(server.display().c_str(), nullptr)) {}
    ~ViewerScreen() { xcb_disconnect(c_); }

    std::string xdotool(const std::string& args) { return shell("DISPLAY=" + server_.display() + " xdotool " + args); }
    // The viewer's window, once it is there.
    xcb_window_t window() {
        return xcb_window_t(strtoul(xdotool("search --name '^screenshare-viewer'").c_str(), nullptr, 10));
    }
    std::pair<int, int> size(xcb_window_t w) {
        auto g = own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr));
        return g ? std::pair{int{g->width}, int{g->height}} : std::pair{0, 0};
    }
    Bytes pixels(xcb_window_t w) {
        const auto [width, height] = size(w);
        auto r = own(xcb_get_image_reply(
            c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, uint16_t(width), uint16_t(height), ~0u),
            nullptr));
        return r ? Bytes(xcb_get_image_data(r.get()), xcb_get_image_data(r.get()) + xcb_get_image_data_length(r.get()))
                 : Bytes{};
    }
    // What a window manager sends when the user closes a window.
    void close(xcb_window_t w) {
        xcb_client_message_event_t e{};
        e.response_type = XCB_CLIENT_MESSAGE, e.format = 32, e.window = w, e.type = atom("WM_PROTOCOLS");
        e.data.data32[0] = atom("WM_DELETE_WINDOW"), e.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&e));
        xcb_flush(c_);
    }

private:
    xcb_atom_t atom(const char* name) {
        auto r = own(xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(strlen(name)), name), nullptr));
        return r ? r->atom : XCB_NONE;
    }
    const Xvfb& server_;
    xcb_connection_t* c_;
};

// Whether the shared screen and the window match, but for the pointer the
// helper draws in, near `pointer`.
bool same_but_pointer(const Bytes& screen, const Bytes& window, int width, std::pair<int, int> pointer) {
    if (screen.size() != window.size()) return false;
    for (size_t p = 0; p < screen.size() / 4; ++p) {
        const bool near =
            std::abs(int(p % width) - pointer.first) < 24 && std::abs(int(p / width) - pointer.second) < 24;
        if (!near && memcmp(&screen[p * 4], &window[p * 4], 3) != 0) return false;
    }
    return true;
}

TEST(Viewer, OperatesTheSharedTerminalShowsItsScreenExactlyAndClosesWithTheHelper) {
    Xvfb shared("640x480x24"), local("800x600x24");
    // A key held while a loaded machine stalls must not repeat.
    for (const Xvfb* server : {&shared, &local}) shell("DISPLAY=" + server->display() + " xset r off");
    char dir[] = "/tmp/viewer-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    const std::string typed = std::string(dir) + "/typed";
    // A terminal that shows a word to select, then keeps what it receives, byte for byte.
    Child xterm(
        {"xterm", "-u8", "-geometry", "80x24+0+0", "-e", "sh", "-c", "echo hello; stty raw -echo; exec cat > " + typed},
        on(shared), controller::Output::Null, controller::Output::Null);
    ASSERT_TRUE(eventually([&] { return access(typed.c_str(), F_OK) == 0; }, 30s));
    // The helper's status comes back on its stderr, which the viewer passes through.
    auto env = on(local);
    // Under ASan: SDL's D-Bus and GL libraries keep allocations to the end, which is no fault of ours.
    env["ASAN_OPTIONS"] = std::string(getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "") + ":detect_leaks=0";
    Child viewer(
        {VIEWER_PATH, "--", "sh", "-c",
         "DISPLAY=" + shared.display() + " \"$0\" 30; s=$?; echo \"helper exited with status $s\" >&2; exit $s",
         HELPER_PATH},
        env, controller::Output::Null);
    ASSERT_TRUE(viewer.wait_log("[ctrl] control loop started", 30s)) << viewer.log();
    ViewerScreen screen(local);
    xcb_window_t window = 0;
    ASSERT_TRUE(eventually([&] { return (window = screen.window()) != 0; }, 30s)) << viewer.log();
    EXPECT_EQ(screen.size(window), std::pair(640, 480));  // 1:1, with room to spare
    XClient sharedScreen(shared.display());
    const auto shows_shared_screen = [&] {
        return eventually(
            [&] {
                return same_but_pointer(sharedScreen.root_pixels(), screen.pixels(window), 640, sharedScreen.pointer());
            },
            30s);
    };
    EXPECT_TRUE(shows_shared_screen());  // and so it is mapped and the frames come

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
    EXPECT_TRUE(shows_shared_screen());  // the selection drawn, the pointer moved

    screen.close(window);
    EXPECT_EQ(viewer.exit_code(30s), 0) << viewer.log();
    EXPECT_NE(viewer.log().find("helper exited with status 0\n"), std::string::npos) << viewer.log();
    std::filesystem::remove_all(dir);
}

}  // namespace
