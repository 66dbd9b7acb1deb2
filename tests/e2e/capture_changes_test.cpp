// The real helper on a private X server: every change on the screen reaches
// the stream, whether it reads only what changed or, with a compositing
// manager about, the whole screen.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;

// 0: DAMAGE; 1: a compositing manager turns up; 2: a server without DAMAGE.
class CaptureChanges : public ::testing::TestWithParam<int> {};

TEST_P(CaptureChanges, PaintsAndPointerMovesReachTheStreamPixelExact) {
    // The root's weave shows any pixel out of place.
    Xvfb server("320x240x24", GetParam() == 2 ? std::vector<std::string>{"-extension", "DAMAGE"}
                                              : std::vector<std::string>{});
    XTestClient client(server.display());
    xcb_connection_t* c = xcb_connect(server.display().c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(10s)) << helper.stderr_text();
    ASSERT_TRUE(helper.wait_for_stderr(GetParam() == 2 ? "lacks DAMAGE" : "only what changed", 5s)) << helper.stderr_text();
    if (GetParam() == 1) {
        auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 13, "_NET_WM_CM_S0"), nullptr);
        xcb_set_selection_owner(c, root, atom->atom, XCB_CURRENT_TIME);
        xcb_flush(c);
        free(atom);
        ASSERT_TRUE(helper.wait_for_stderr("compositing manager runs", 5s)) << helper.stderr_text();
    }

    // Until a frame is the screen, opaque, but for the pointer drawn near (px, py).
    auto shows_screen = [&](int px, int py) {
        auto* image = xcb_get_image_reply(c, xcb_get_image(c, 2, root, 0, 0, 320, 240, ~0u), nullptr);  // ZPixmap
        bool same = false, pointer = false;
        for (int i = 0; i < 60 && image && !(same && pointer); ++i) {
            const auto frame = stream.read_frame(2s);
            if (!frame) break;
            same = true, pointer = false;
            for (int p = 0; p < 320 * 240; ++p) {
                const bool near = std::abs(p % 320 - px) < 24 && std::abs(p / 320 - py) < 24;
                const bool differs = memcmp(&(*frame)[p * 4], xcb_get_image_data(image) + p * 4, 3) != 0 ||
                                     (*frame)[p * 4 + 3] != 255;
                same = same && (near || !differs);
                pointer = pointer || (near && differs);
            }
        }
        free(image);
        return same && pointer;
    };
    client.move_pointer(300, 220);
    client.fill_rect(10, 10, 200, 50, 0xFF0000);
    EXPECT_TRUE(shows_screen(300, 220));
    client.move_pointer(100, 100);  // where it was is the screen again
    EXPECT_TRUE(shows_screen(100, 100));
    client.fill_rect(90, 90, 30, 30, 0x0000FF);  // under the pointer
    EXPECT_TRUE(shows_screen(100, 100));
    xcb_disconnect(c);
}

constexpr const char* kModeNames[] = {"Damage", "CompositorOwned", "NoDamage"};
INSTANTIATE_TEST_SUITE_P(Modes, CaptureChanges, ::testing::Values(0, 1, 2),
                         [](const auto& param) { return kModeNames[param.param]; });

}  // namespace
