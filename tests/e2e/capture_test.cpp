// The real helper on private X servers: what the stream holds, and how it
// ends when the capture cannot work.

#include <gtest/gtest.h>

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

// Whether a 12x12 square around (x, y) holds anything but the root colour.
bool drawn_near(const Bytes& frame, const Header& h, int x, int y) {
    for (int v = y - 6; v < y + 6; ++v)
        for (int u = x - 6; u < x + 6; ++u)
            if (pixel(frame, h, u, v) != kRoot) return true;
    return false;
}

class CaptureFrames : public testing::TestWithParam<bool> {};

TEST_P(CaptureFrames, FramesHoldThePaintedScreenAndThePointerInBgra) {
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
    auto frame = read_frame(helper, *h);
    ASSERT_TRUE(frame);
    expect_scene(*frame, *h, 0, 0);
    EXPECT_EQ(helper.log().find("using GetImage") != std::string::npos, !shm) << helper.log();

    // The pointer is drawn where it is, and follows it.
    for (auto [px, py] : {std::pair{400, 300}, {300, 400}}) {
        x.warp(px, py);
        EXPECT_TRUE(eventually([&] {
            frame = read_frame(helper, *h);
            return frame && drawn_near(*frame, *h, px, py) && !drawn_near(*frame, *h, 700 - px, 700 - py);
        })) << px << "," << py;
    }
    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0) << helper.log();
}

INSTANTIATE_TEST_SUITE_P(ShmAndGetImage, CaptureFrames, testing::Bool(),
                         [](const auto& p) { return p.param ? "Shm" : "GetImage"; });

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
