// The real helper on private X servers: what the stream holds, and how it
// ends when the capture cannot work.

#include <gtest/gtest.h>

#include <cstring>

#include "e2e/x_client.h"

namespace {

constexpr uint32_t kRoot = 0xFF102030;

// Rectangles of known colours on a known root; the pointer out of the way.
void paint_scene(XClient& x) {
    x.set_root(kRoot & 0xFFFFFF);
    x.fill(10, 20, 50, 30, 0xFF0000);
    x.fill(100, 20, 40, 40, 0x00FF00);
    x.fill(10, 100, 30, 60, 0x0000FF);
    x.fill(200, 150, 20, 20, 0xC08040);  // a mix, to catch swapped channels
    x.warp(630, 470);
}

// The scene as seen in a frame whose top-left pixel is screen pixel (dx, dy).
void expect_scene(const Bytes& frame, const Header& h, int dx, int dy) {
    const struct {
        int x, y;
        uint32_t argb;
    } probes[] = {{10, 20, 0xFFFF0000}, {59, 49, 0xFFFF0000}, {60, 49, kRoot},       {120, 40, 0xFF00FF00},
                  {20, 150, 0xFF0000FF}, {205, 155, 0xFFC08040}, {280, 199, kRoot}, {dx, dy, kRoot}};
    for (const auto& p : probes) EXPECT_EQ(pixel(frame, h, p.x - dx, p.y - dy), p.argb) << p.x << "," << p.y;
}

class CaptureFrames : public testing::TestWithParam<bool> {};

TEST_P(CaptureFrames, FramesHoldThePaintedScreenInBgra) {
    const bool shm = GetParam();
    Xvfb server("640x480x24", shm ? std::vector<std::string>{} : std::vector<std::string>{"-extension", "MIT-SHM"});
    XClient x(server.display());
    ASSERT_TRUE(x.ok());
    paint_scene(x);
    Child helper({HELPER_PATH}, on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h) << helper.log();
    EXPECT_EQ(h->magic, "ZNTV");
    EXPECT_EQ(std::vector<uint32_t>({h->version, h->width, h->height, h->fps, h->format, h->frameBytes}),
              std::vector<uint32_t>({1, 640, 480, 15, 0x41524742, 640 * 480 * 4}));
    const auto frame = read_frame(helper, *h);
    ASSERT_TRUE(frame);
    expect_scene(*frame, *h, 0, 0);
    EXPECT_EQ(helper.log().find("using GetImage") != std::string::npos, !shm) << helper.log();

    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0) << helper.log();
}

INSTANTIATE_TEST_SUITE_P(ShmAndGetImage, CaptureFrames, testing::Bool(),
                         [](const auto& p) { return p.param ? "Shm" : "GetImage"; });

// Only what changed is read; or a compositing manager turns up, and the
// whole screen is read; as it is on a server without DAMAGE.
class CaptureChanges : public testing::TestWithParam<std::string> {};

TEST_P(CaptureChanges, PaintsAndPointerMovesReachTheStreamPixelExact) {
    const int mode = GetParam() == "Damage" ? 0 : GetParam() == "CompositorOwned" ? 1 : 2;
    Xvfb server("320x240x24", mode == 2 ? std::vector<std::string>{"-extension", "DAMAGE"} : std::vector<std::string>{});
    XClient x(server.display());
    Child helper(helper_args(), on(server));
    const auto h = read_header(helper);
    ASSERT_TRUE(h && helper.wait_log(mode == 2 ? "lacks DAMAGE" : "only what changed")) << helper.log();
    if (mode == 1) x.own_selection("_NET_WM_CM_S0");
    ASSERT_TRUE(mode != 1 || helper.wait_log("compositing manager runs")) << helper.log();
    // Soon a frame is the screen, opaque, but for the pointer drawn near (px, py).
    const auto shows_screen = [&](int px, int py) {
        const Bytes screen = x.root_pixels();
        return eventually([&] {
            const auto frame = read_frame(helper, *h);
            bool same = frame.has_value(), pointer = false;
            for (int p = 0; same && p < 320 * 240; ++p) {
                const bool near = std::abs(p % 320 - px) < 24 && std::abs(p / 320 - py) < 24;
                const bool differs = memcmp(&(*frame)[p * 4], &screen[p * 4], 3) != 0 || (*frame)[p * 4 + 3] != 255;
                same = near || !differs, pointer = pointer || (near && differs);
            }
            return same && pointer;
        });
    };
    x.warp(300, 220);
    x.fill(10, 10, 200, 50, 0xFF0000);
    EXPECT_TRUE(shows_screen(300, 220));
    x.warp(100, 100);  // where it was is the screen again
    EXPECT_TRUE(shows_screen(100, 100));
    x.fill(90, 90, 30, 30, 0x0000FF);  // under the pointer
    EXPECT_TRUE(shows_screen(100, 100));
}

INSTANTIATE_TEST_SUITE_P(Modes, CaptureChanges, testing::Values("Damage", "CompositorOwned", "NoDamage"),
                         [](const auto& mode) { return mode.param; });

// The primary monitor is captured from its place, clipped to the screen,
// and moves land on the frame pixel they name.
TEST(CaptureMonitors, ThePrimaryMonitorIsCapturedAndOperatedInPlace) {
    struct Case {
        int x, y, width, height;
        uint32_t frameWidth, frameHeight;
    } cases[] = {{8, 16, 320, 200, 320, 200}, {320, 0, 640, 480, 320, 480}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        Xvfb server("640x480x24");
        XClient x(server.display());
        ASSERT_TRUE(x.ok());
        paint_scene(x);
        ASSERT_TRUE(x.add_monitor(c.x, c.y, c.width, c.height));
        Child helper(helper_args(), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h) << helper.log();
        EXPECT_EQ(std::pair(h->width, h->height), std::pair(c.frameWidth, c.frameHeight));
        const auto frame = read_frame(helper, *h);
        ASSERT_TRUE(frame);
        if (c.x == 8) expect_scene(*frame, *h, c.x, c.y);
        ASSERT_TRUE(helper.wait_log("control loop started"));
        helper.send(move_to(10, 20));
        EXPECT_TRUE(eventually([&] { return x.pointer() == std::pair(c.x + 10, c.y + 20); }));
        helper.send(move_to(uint16_t(c.frameWidth - 1), uint16_t(c.frameHeight - 1)));
        EXPECT_TRUE(eventually([&] { return x.pointer() == std::pair(c.x + int(c.frameWidth) - 1, c.y + int(c.frameHeight) - 1); }));
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
