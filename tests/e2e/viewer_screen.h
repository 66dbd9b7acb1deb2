#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "e2e/x_client.h"

// What a command prints.
inline std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

// The server the viewer's window is on, as a window manager and a screen grab see it.
class ViewerScreen : public XClient {
public:
    explicit ViewerScreen(const Xvfb& server) : XClient(server.display()) {}

    std::string xdotool(const std::string& args) { return shell("DISPLAY=" + display() + " xdotool " + args); }
    // The viewer's window, the newest where SDL made it anew for a renderer; 0 while there is none.
    xcb_window_t window() {
        std::istringstream ids(xdotool("search --name '^screenshare-viewer'"));
        xcb_window_t window = 0;
        for (xcb_window_t next; ids >> next;) window = next;
        return window;
    }
};

// Whether the shared screen and the window match, but for the pointer the
// helper draws in, near `pointer`.
inline bool same_but_pointer(const Bytes& screen, const Bytes& window, int width, std::pair<int, int> pointer) {
    if (screen.size() != window.size()) return false;
    for (size_t p = 0; p < screen.size() / 4; ++p) {
        const bool near =
            std::abs(int(p % width) - pointer.first) < 24 && std::abs(int(p / width) - pointer.second) < 24;
        if (!near && memcmp(&screen[p * 4], &window[p * 4], 3) != 0) return false;
    }
    return true;
}

// The viewer's window once it shows `shared` pixel for pixel; 0 if none does soon.
inline xcb_window_t showing(ViewerScreen& screen, const Xvfb& shared) {
    XClient sharedScreen(shared.display());
    xcb_window_t window = 0;
    const bool shown = eventually([&] {
        const Bytes pixels = sharedScreen.pixels();
        const int width = int(pixels.size() / 4) / sharedScreen.root_height();
        return (window = screen.window()) && same_but_pointer(pixels, screen.pixels(window), width, sharedScreen.pointer());
    }, 30s);
    return shown ? window : 0;
}

// A terminal on `server` that shows a word to select, then keeps what it receives, byte for byte, in `typed`.
inline std::unique_ptr<Child> terminal(const Xvfb& server, const std::string& typed) {
    auto xterm = std::make_unique<Child>(
        std::vector<std::string>{"xterm", "-u8", "-geometry", "80x24+0+0", "-e", "sh", "-c",
                                 "echo hello; stty raw -echo; exec cat > " + typed},
        on(server), controller::Output::Null, controller::Output::Null);
    return eventually([&] { return access(typed.c_str(), F_OK) == 0; }, 30s) ? std::move(xterm) : nullptr;
}

// Keys held while a loaded machine stalls must not repeat.
inline void no_key_repeat(const Xvfb& server) { shell("DISPLAY=" + server.display() + " xset r off"); }

// A shared screen with a terminal on it, and the screen the viewer runs on; `typed` is what the terminal received.
struct SharedTerminal {
    Xvfb shared{"640x480x24"}, local{"800x600x24"};
    std::string dir = [] {
        char d[] = "/tmp/viewer-test-XXXXXX";
        return std::string(mkdtemp(d) ? d : "");
    }();
    std::string typed = dir + "/typed";
    std::unique_ptr<Child> xterm = (no_key_repeat(shared), no_key_repeat(local), terminal(shared, typed));
    ~SharedTerminal() { std::filesystem::remove_all(dir); }
};

// The viewer's environment on `local`.
inline std::map<std::string, std::string> viewer_on(const Xvfb& local) {
    auto env = on(local);
    // Under ASan: SDL's D-Bus and GL libraries keep allocations to the end, which is no fault of ours.
    env["ASAN_OPTIONS"] = std::string(getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "") + ":detect_leaks=0";
    return env;
}
