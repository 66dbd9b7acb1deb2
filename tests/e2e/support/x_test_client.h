#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <string>

// A small X client for the end-to-end tests: paints known colours into
// windows of its own, moves the pointer and defines RandR monitors. The
// windows stay up as long as the client does.
class XTestClient {
public:
    explicit XTestClient(const std::string& display);
    ~XTestClient();
    XTestClient(const XTestClient&) = delete;
    XTestClient& operator=(const XTestClient&) = delete;

    bool ok() const { return conn_ && !xcb_connection_has_error(conn_); }

    // An unmanaged window at (x, y) filled with 0xRRGGBB; waits until the
    // server has drawn it.
    void fill_rect(int x, int y, int width, int height, uint32_t rgb);
    // Root window background, then cleared.
    void set_root_colour(uint32_t rgb);
    void move_pointer(int x, int y);
    // Adds a RandR monitor (no outputs), the primary one when `primary`.
    bool add_monitor(const std::string& name, int x, int y, int width, int height, bool primary);
    // Makes the server finish everything sent so far.
    void sync();
    // Clients connected to the server, this one included; -1 if unknown.
    int client_count();

private:
    bool has_monitor(xcb_atom_t name);

    std::string display_;
    xcb_connection_t* conn_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
};

#include <vector>

#include "support/child_process.h"

// The real helper at `fps` on `display`.
inline ChildProcess::Options helper_on(const std::string& display, const std::string& fps = "30") {
    return ChildProcess::Options{{HELPER_PATH, fps}, {{"DISPLAY", display}}};
}
