// Input latency: from writing a move message to the helper's stdin to the X
// server reporting the pointer there, against `xdotool mousemove` doing the
// same move. The pointer's arrival is seen as a MotionNotify on the root.
//
// Usage: input_latency HELPER_PATH [MOVES]   (DISPLAY names the server)

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controller/messages.h"
#include "helper_child.h"

namespace {

xcb_connection_t* g_conn;

// Waits for the pointer to arrive at (x, y); false after a second without.
bool wait_for_motion(int x, int y) {
    const uint64_t deadline = now_ns() + 1'000'000'000ull;
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(g_conn)) {
            const bool there = (e->response_type & 0x7F) == XCB_MOTION_NOTIFY &&
                               reinterpret_cast<xcb_motion_notify_event_t*>(e)->root_x == x &&
                               reinterpret_cast<xcb_motion_notify_event_t*>(e)->root_y == y;
            free(e);
            if (there) return true;
        }
        const uint64_t now = now_ns();
        if (now >= deadline) return false;
        pollfd fd{xcb_get_file_descriptor(g_conn), POLLIN, 0};
        poll(&fd, 1, int((deadline - now) / 1'000'000) + 1);
    }
}

struct Stats {
    double p50, p99, max;
    int lost;
};

Stats summarise(std::vector<uint64_t> samples, int lost) {
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples.empty() ? 0.0 : samples[size_t(q * double(samples.size() - 1))] / 1e6; };
    return {at(0.5), at(0.99), samples.empty() ? 0.0 : samples.back() / 1e6, lost};
}

// The i-th target: every move goes somewhere new.
std::pair<int, int> target(int i) { return {100 + (i * 37) % 800, 100 + (i * 53) % 600}; }

Stats bench_helper(const char* helper, int moves) {
    const auto child = start_helper(helper);

    std::vector<uint64_t> samples;
    int lost = 0;
    for (int i = 0; i < moves; ++i) {
        const auto [x, y] = target(i);
        const controller::Bytes move = controller::move_to(uint16_t(x), uint16_t(y));
        const uint64_t start = now_ns();
        if (!child->send(move)) exit(1);
        if (wait_for_motion(x, y)) {
            samples.push_back(now_ns() - start);
        } else {
            ++lost;
        }
    }
    child->close_stdin();
    child->wait(controller::kPatience);
    return summarise(samples, lost);
}

Stats bench_xdotool(int moves) {
    std::vector<uint64_t> samples;
    int lost = 0;
    for (int i = 0; i < moves; ++i) {
        const auto [x, y] = target(i + 1);  // a different walk from the helper's last spot
        const std::string xs = std::to_string(x), ys = std::to_string(y);
        const uint64_t start = now_ns();
        const pid_t pid = fork();
        if (pid == 0) {
            execlp("xdotool", "xdotool", "mousemove", xs.c_str(), ys.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const bool arrived = wait_for_motion(x, y);
        const uint64_t end = now_ns();
        waitpid(pid, nullptr, 0);
        if (arrived) {
            samples.push_back(end - start);
        } else {
            ++lost;
        }
    }
    return summarise(samples, lost);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s HELPER_PATH [MOVES]\n", argv[0]);
        return 2;
    }
    const int moves = argc > 2 ? atoi(argv[2]) : 2000;
    g_conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(g_conn)) {
        fputs("cannot connect to the X server\n", stderr);
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(g_conn)).data;
    const uint32_t mask = XCB_EVENT_MASK_POINTER_MOTION;
    xcb_change_window_attributes(g_conn, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(g_conn);

    const Stats helper = bench_helper(argv[1], moves);
    const Stats xdotool = bench_xdotool(moves);
    printf("| tool | moves | p50 (ms) | p99 (ms) | max (ms) | lost |\n|---|---|---|---|---|---|\n");
    printf("| screenshare-helper | %d | %.3f | %.3f | %.3f | %d |\n", moves, helper.p50, helper.p99, helper.max, helper.lost);
    printf("| xdotool mousemove | %d | %.3f | %.3f | %.3f | %d |\n", moves, xdotool.p50, xdotool.p99, xdotool.max, xdotool.lost);
    xcb_disconnect(g_conn);
    return 0;
}
