// Typing throughput and the cost of typing to the pointer: characters per
// second for runs of characters outside the keymap, arriving in a window in
// order as themselves, and the delay of a move queued behind ten such
// characters against a move queued behind none.
//
// Usage: typing_bench HELPER_PATH [TRIALS]   (DISPLAY names the server)

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "controller/messages.h"
#include "helper_child.h"

namespace {

xcb_connection_t* g_conn;
std::vector<xcb_keysym_t> g_keymap;
uint8_t g_perKeycode = 0;
// Off while timing moves: how fast this client reads keymaps is not the helper's delay.
bool g_readKeymap = true;

void refresh_keymap() {
    const xcb_setup_t* setup = xcb_get_setup(g_conn);
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    auto* r = xcb_get_keyboard_mapping_reply(g_conn, xcb_get_keyboard_mapping(g_conn, setup->min_keycode, count),
                                             nullptr);
    if (!r) return;
    g_perKeycode = r->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    g_keymap.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(r));
    free(r);
}

struct Arrival {
    bool key;  // a key press, else a motion
    uint32_t keysym;
    int x, y;
};

// The next key press or motion, read the way a client reads them: the keymap
// again whenever it changed. False after a second without.
bool next_arrival(Arrival& a) {
    const uint64_t deadline = now_ns() + 1'000'000'000ull;
    for (;;) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(g_conn)) {
            const uint8_t type = e->response_type & 0x7F;
            bool got = false;
            if (type == XCB_MAPPING_NOTIFY && g_readKeymap) refresh_keymap();
            if (type == XCB_KEY_PRESS) {
                const auto* k = reinterpret_cast<xcb_key_press_event_t*>(e);
                const size_t row = size_t(k->detail - xcb_get_setup(g_conn)->min_keycode) * g_perKeycode;
                a = {true, row < g_keymap.size() ? g_keymap[row] : 0, 0, 0};
                got = true;
            } else if (type == XCB_MOTION_NOTIFY) {
                const auto* m = reinterpret_cast<xcb_motion_notify_event_t*>(e);
                a = {false, 0, m->root_x, m->root_y};
                got = true;
            }
            free(e);
            if (got) return true;
        }
        const uint64_t now = now_ns();
        if (now >= deadline) return false;
        pollfd fd{xcb_get_file_descriptor(g_conn), POLLIN, 0};
        poll(&fd, 1, int((deadline - now) / 1'000'000) + 1);
    }
}

using controller::append, controller::Bytes;

// A press and a release of `cp`.
void add_text(Bytes& out, uint32_t cp) {
    append(out, controller::text(cp, controller::kPress)), append(out, controller::text(cp, controller::kRelease));
}
uint32_t keysym_of(uint32_t cp) { return cp < 0x100 ? cp : 0x01000000 + cp; }

std::unique_ptr<controller::Child> g_helper;

void send(const Bytes& bytes) {
    if (!g_helper->send(bytes)) exit(1);
}

// Types `text`; characters per second from the write to the last press, and
// how many arrived wrong or not at all.
void typing_run(const char* name, const std::vector<uint32_t>& text) {
    Bytes bytes;
    for (uint32_t cp : text) add_text(bytes, cp);
    const uint64_t start = now_ns();
    send(bytes);
    int wrong = 0, missing = 0;
    uint64_t end = start;
    for (uint32_t cp : text) {
        Arrival a{};
        if (!next_arrival(a)) {
            ++missing;
            continue;
        }
        end = now_ns();
        if (!a.key || a.keysym != keysym_of(cp)) ++wrong;
    }
    printf("| %s | %zu | %.0f | %d | %d |\n", name, text.size(), double(text.size()) * 1e9 / double(end - start), wrong,
           missing);
}

double p99_ms(std::vector<uint64_t> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : double(v[size_t(0.99 * double(v.size() - 1))]) / 1e6;
}
double p50_ms(std::vector<uint64_t> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : double(v[v.size() / 2]) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s HELPER_PATH [TRIALS]\n", argv[0]);
        return 2;
    }
    const int trials = argc > 2 ? atoi(argv[2]) : 300;
    g_conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(g_conn)) return 1;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(g_conn)).data;
    const xcb_window_t window = xcb_generate_id(g_conn);
    const uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_POINTER_MOTION};
    xcb_create_window(g_conn, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(g_conn, window);
    xcb_set_input_focus(g_conn, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    refresh_keymap();
    g_helper = start_helper(argv[1]);

    // Accents, CJK and emoji: the characters of a text in a language other than English.
    const uint32_t mixed[] = {0xE9, 0xE0, 0xFC, 0xF6, 0xDF, 0xE7, 0xF1, 0xF8, 0xE5, 0xE6,
                              0x65E5, 0x672C, 0x8A9E, 0x5B57, 0x1F600, 0x1F389};
    std::vector<uint32_t> text;
    for (int i = 0; i < 1000; ++i) text.push_back(mixed[i % std::size(mixed)]);
    // More distinct characters than a stock Xvfb has spare keys (19): 31
    // accented letters, 5 CJK characters and 5 emoji, in random order.
    std::vector<uint32_t> alphabet;
    for (uint32_t cp = 0xE0; cp <= 0xFF; ++cp)
        if (cp != 0xF7) alphabet.push_back(cp);
    for (uint32_t cp : {0x4E2D, 0x6587, 0x65E5, 0x672C, 0x8A9E, 0x1F600, 0x1F389, 0x1F44D, 0x1F680, 0x1F30D})
        alphabet.push_back(cp);
    std::vector<uint32_t> shuffled;
    for (uint32_t i = 0, r = 20261207; i < 1000; ++i) r = r * 1103515245 + 12345, shuffled.push_back(alphabet[(r >> 16) % 41]);
    std::vector<uint32_t> distinct;
    for (uint32_t i = 0; i < 1000; ++i) distinct.push_back(0x4E00 + i);
    printf("| text | characters | chars/s | wrong | missing |\n|---|---|---|---|---|\n");
    typing_run("16 distinct characters, repeated", text);
    typing_run("41 distinct characters, in random order", shuffled);
    typing_run("1000 distinct CJK characters", distinct);

    // A move behind ten characters that have spare keys already (typed once
    // before), against a move behind ten plain letters and behind none.
    const std::vector<uint32_t> ten(std::begin(mixed), std::begin(mixed) + 10);
    typing_run("the ten characters of the moves below", ten);
    g_readKeymap = false;
    std::vector<uint64_t> behindNone, behindTen, behindLetters;
    for (int i = 0; i < trials; ++i) {
        for (int withTen : {0, 1, 2}) {  // 2: plain letters
            const int x = 100 + (i * 37) % 800, y = 100 + (i * 53 + withTen * 7) % 600;
            Bytes bytes;
            for (int c = 0; withTen && c < 10; ++c) add_text(bytes, withTen == 1 ? ten[size_t(c)] : uint32_t('a' + c));
            append(bytes, controller::move_to(uint16_t(x), uint16_t(y)));
            const uint64_t start = now_ns();
            send(bytes);
            Arrival a{};
            while (next_arrival(a) && (a.key || a.x != x || a.y != y)) {
            }
            (withTen == 0 ? behindNone : withTen == 1 ? behindTen : behindLetters).push_back(now_ns() - start);
            usleep(40'000);
        }
    }
    printf("\n| move queued behind | moves | p50 (ms) | p99 (ms) |\n|---|---|---|---|\n");
    printf("| nothing | %d | %.3f | %.3f |\n", trials, p50_ms(behindNone), p99_ms(behindNone));
    printf("| 10 plain letters | %d | %.3f | %.3f |\n", trials, p50_ms(behindLetters), p99_ms(behindLetters));
    printf("| 10 characters on spare keys | %d | %.3f | %.3f |\n", trials, p50_ms(behindTen), p99_ms(behindTen));
    g_helper->close_stdin();
    g_helper->wait(controller::kPatience);
    xcb_disconnect(g_conn);
    return 0;
}
