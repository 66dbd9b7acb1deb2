// Benchmark load: redraws one area of the screen FPS times a second, in
// alternating colours, from an unmanaged window of its own.
// Usage: screen_painter FPS X Y WIDTH HEIGHT

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 6) {
        fprintf(stderr, "usage: %s FPS X Y WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const int fps = atoi(argv[1]);
    const auto x = static_cast<int16_t>(atoi(argv[2])), y = static_cast<int16_t>(atoi(argv[3]));
    const auto w = static_cast<uint16_t>(atoi(argv[4])), h = static_cast<uint16_t>(atoi(argv[5]));
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t attrs[] = {screen->black_pixel, 1};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, x, y, w, h, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, attrs);
    xcb_map_window(c, window);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, 0, nullptr);
    const xcb_rectangle_t all{0, 0, w, h};

    // An absolute schedule; each frame waits for the server to have drawn it.
    auto next = std::chrono::steady_clock::now();
    for (uint32_t frame = 0;; ++frame) {
        const uint32_t colour = (frame & 1) ? 0x2080E0 : 0xE08020;
        xcb_change_gc(c, gc, XCB_GC_FOREGROUND, &colour);
        xcb_poly_fill_rectangle(c, window, gc, 1, &all);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (xcb_connection_has_error(c)) return 1;
        next += std::chrono::nanoseconds(1000000000 / fps);
        std::this_thread::sleep_until(next);
    }
}
