// The real helper on private X servers: what the stream holds, and how it
// ends when the capture cannot work.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>

#include "e2e/x_client.h"

namespace {

// Whether a frame soon shows the screen from (dx, dy) on, exactly and opaque,
// but for the pointer drawn near frame pixel (px, py).
bool shows_screen(Child& helper, const Header& h, XClient& x, int px, int py, int dx = 0, int dy = 0) {
    const Bytes screen = x.root_pixels();
    const size_t rootWidth = screen.size() / 4 / x.root_height();
    return eventually([&] {
        const auto frame = read_frame(helper, h);
        bool same = frame.has_value(), pointer = false;
        for (uint32_t p = 0; same && p < h.width * h.height; ++p) {
            const bool near = std::abs(int(p % h.width) - px) < 24 && std::abs(int(p / h.width) - py) < 24;
            const uint8_t* at = &screen[((p / h.width + dy) * rootWidth + p % h.width + dx) * 4];
            const bool differs = memcmp(&(*frame)[p * 4], at, 3) != 0 || (*frame)[p * 4 + 3] != 255;
            same = near || !differs, pointer = pointer || (near && differs);
        }
        return same && pointer;
    });
}

// What is read each tick: only what changed; the whole screen once a
// compositing manager turns up, or without DAMAGE; without MIT-SHM, through
// GetImage. Every paint and pointer move soon reaches the stream.
class CaptureChanges : public testing::TestWithParam<std::string> {};

TEST_P(CaptureChanges, PaintsAndPointerMovesReachTheStreamPixelExact) {
    const std::string mode = GetParam();
    Xvfb server("320x240x24", mode == "NoDamage" ? std::vector<std::string>{"-extension", "DAMAGE"}
                              : mode == "NoShm"  ? std::vector<std::string>{"-extension", "MIT-SHM"}
                                                 : std::vector<std::string>{});
    XClient x(server.display());
    Child helper({HELPER_PATH}, on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h) << helper.log();
    EXPECT_EQ(std::tuple(h->magic, h->version, h->width, h->height, h->fps, h->format, h->frameBytes),
              std::tuple("ZNTV", 1u, 320u, 240u, 15u, 0x41524742u, 320u * 240 * 4));
    const char* line = mode == "NoDamage" ? "lacks DAMAGE" : mode == "NoShm" ? "using GetImage" : "only what changed";
    ASSERT_TRUE(helper.wait_log(line)) << helper.log();
    if (mode == "CompositorOwned") x.own_selection("_NET_WM_CM_S0");
    ASSERT_TRUE(mode != "CompositorOwned" || helper.wait_log("compositing manager runs")) << helper.log();
    x.warp(300, 220);
    x.fill(10, 10, 200, 50, 0xFF0000);
    x.fill(20, 100, 30, 30, 0xC08040);
    EXPECT_TRUE(shows_screen(helper, *h, x, 300, 220));
    x.warp(100, 100);  // where it was is the screen again
    EXPECT_TRUE(shows_screen(helper, *h, x, 100, 100));
    x.fill(90, 90, 30, 30, 0x0000FF);  // under the pointer
    EXPECT_TRUE(shows_screen(helper, *h, x, 100, 100));
}

INSTANTIATE_TEST_SUITE_P(Modes, CaptureChanges, testing::Values("Damage", "CompositorOwned", "NoDamage", "NoShm"),
                         [](const auto& mode) { return mode.param; });

// The primary monitor is captured from its place, clipped to the screen,
// and moves land on the frame pixel they name.
TEST(CaptureMonitors, ThePrimaryMonitorIsCapturedAndOperatedInPlace) {
    for (auto [mx, my, mw, mh] : {std::array{8, 16, 320, 200}, {320, 0, 640, 480}}) {  // the second reaches past the screen
        SCOPED_TRACE(mx);
        Xvfb server("640x480x24");
        XClient x(server.display());
        x.fill(10, 20, 50, 30, 0xFF0000), x.warp(mx + 50, my + 60);
        ASSERT_TRUE(x.add_monitor(mx, my, mw, mh));
        Child helper(helper_args(), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h && helper.wait_log("control loop started")) << helper.log();
        const int w = std::min(mw, 640 - mx), ht = std::min(mh, 480 - my);
        EXPECT_EQ(std::pair(int(h->width), int(h->height)), std::pair(w, ht));
        EXPECT_TRUE(shows_screen(helper, *h, x, 50, 60, mx, my));
        for (auto [fx, fy] : {std::pair{10, 20}, {w - 1, ht - 1}}) {
            helper.send(move_to(uint16_t(fx), uint16_t(fy)));
            EXPECT_TRUE(eventually([&] { return x.pointer() == std::pair(mx + fx, my + fy); })) << fx << "," << fy;
        }
    }
}

TEST(CaptureFailure, NoUsableScreenEndsWithStatusOneAndNothingOnStdout) {
    Xvfb shallow("640x480x16");
    const std::string lines = "[capture] Screen Recording permission may not be granted.\n"
                              "[capture] Go to: System Settings > Privacy & Security > Screen Recording\n";
    const struct {
        std::string display, firstLine;
    } cases[] = {{":987", "[capture] ERROR: getShareableContent failed: cannot open X display \":987\"\n"},
                 {shallow.display(), "[capture] ERROR: startCapture failed: unsupported visual (depth 16"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        Child helper({HELPER_PATH}, {{"DISPLAY", c.display}});
        EXPECT_EQ(helper.exit_code(), 1);
        EXPECT_TRUE(helper.read(1, 100ms).empty());
        EXPECT_NE(helper.log().find(c.firstLine), std::string::npos) << helper.log();
        EXPECT_NE(helper.log().find(lines), std::string::npos) << helper.log();
    }
}

TEST(CaptureFailure, LosingTheXServerWhileStreamingEndsWithStatusOne) {
    Xvfb server("320x240x24");
    Child helper(helper_args("10"), on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && read_frame(helper, *h)) << helper.log();
    server.stop();
    EXPECT_EQ(helper.exit_code(), 1);
    EXPECT_TRUE(helper.wait_log("[capture] ERROR: lost the connection to the X server\n")) << helper.log();
}

}  // namespace
