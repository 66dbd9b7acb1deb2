// The real helper on private X servers: what the frames hold.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;

constexpr Bgra kBackground{0x30, 0x20, 0x10, 255};  // root colour 0x102030

struct Scene {
    XTestClient client;
    explicit Scene(const std::string& display) : client(display) {
        client.set_root_colour(0x102030);
        client.fill_rect(10, 20, 50, 30, 0xFF0000);    // red
        client.fill_rect(100, 20, 40, 40, 0x00FF00);   // green
        client.fill_rect(10, 100, 30, 60, 0x0000FF);   // blue
        client.fill_rect(200, 150, 20, 20, 0xC08040);  // a mix, to catch swapped channels
        client.move_pointer(600, 460);                 // out of the way
    }
};

void expect_scene(const std::vector<uint8_t>& frame, uint32_t width, int dx = 0, int dy = 0) {
    auto at = [&](int x, int y) { return pixel_at(frame, width, x - dx, y - dy); };
    EXPECT_EQ(at(10, 20), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(at(59, 49), (Bgra{0, 0, 255, 255}));
    EXPECT_EQ(at(60, 49), kBackground);  // just right of the red one
    EXPECT_EQ(at(120, 40), (Bgra{0, 255, 0, 255}));
    EXPECT_EQ(at(20, 150), (Bgra{255, 0, 0, 255}));
    EXPECT_EQ(at(205, 155), (Bgra{0x40, 0x80, 0xC0, 255}));
    EXPECT_EQ(at(280, 199), kBackground);
}

// Frames until one satisfies `wanted`.
bool frame_where(StreamClient& stream, const std::function<bool(const std::vector<uint8_t>&)>& wanted) {
    for (int i = 0; i < 60; ++i) {
        auto frame = stream.read_frame(2s);
        if (!frame) return false;
        if (wanted(*frame)) return true;
    }
    return false;
}

bool region_is(const std::vector<uint8_t>& frame, uint32_t width, int x0, int y0, int size, Bgra colour) {
    for (int y = y0; y < y0 + size; ++y) {
        for (int x = x0; x < x0 + size; ++x) {
            if (!(pixel_at(frame, width, x, y) == colour)) return false;
        }
    }
    return true;
}

class CaptureFrames : public ::testing::TestWithParam<bool> {};

TEST_P(CaptureFrames, FramesHoldWhatWasPaintedInBgraAtTheMonitorSize) {
    const bool withShm = GetParam();
    Xvfb server("640x480x24", withShm ? std::vector<std::string>{} : std::vector<std::string>{"-extension", "MIT-SHM"});
    ASSERT_TRUE(server.ok());
    Scene scene(server.display());
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);

    const auto header = stream.read_header(10s);
    ASSERT_TRUE(header) << helper.stderr_text();
    EXPECT_EQ(header->width, 640u);
    EXPECT_EQ(header->height, 480u);
    EXPECT_EQ(header->fps, 30u);
    const auto frame = stream.read_frame(5s);
    ASSERT_TRUE(frame);
    expect_scene(*frame, 640);

    const std::string log = helper.stderr_text();
    EXPECT_EQ(log.find("using GetImage") != std::string::npos, !withShm) << log;
    helper.close_stdin();
    EXPECT_EQ(helper.wait_exit_code(5s), 0);
}

INSTANTIATE_TEST_SUITE_P(ShmAndGetImage, CaptureFrames, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Shm" : "GetImage"; });

TEST(CaptureMonitors, PrimaryMonitorAwayFromTheOriginIsCapturedFromItsPlace) {
    Xvfb server("640x480x24");
    ASSERT_TRUE(server.ok());
    Scene scene(server.display());
    ASSERT_TRUE(scene.client.add_monitor("OFFSET", 8, 16, 320, 200, true));
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);

    const auto header = stream.read_header(10s);
    ASSERT_TRUE(header) << helper.stderr_text();
    EXPECT_EQ(header->width, 320u) << helper.stderr_text();
    EXPECT_EQ(header->height, 200u);
    const auto frame = stream.read_frame(5s);
    ASSERT_TRUE(frame);
    expect_scene(*frame, 320, 8, 16);
    EXPECT_EQ(pixel_at(*frame, 320, 0, 0), kBackground);
    EXPECT_EQ(pixel_at(*frame, 320, 2, 4), (Bgra{0, 0, 255, 255}));  // red's corner at (10, 20)
}

TEST(CaptureMonitors, MonitorReachingPastTheScreenIsClippedToIt) {
    Xvfb server("640x480x24");
    ASSERT_TRUE(server.ok());
    Scene scene(server.display());
    ASSERT_TRUE(scene.client.add_monitor("WIDE", 320, 0, 640, 480, true));
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);

    const auto header = stream.read_header(10s);
    ASSERT_TRUE(header) << helper.stderr_text();
    EXPECT_EQ(header->width, 320u);
    EXPECT_EQ(header->height, 480u);
    ASSERT_TRUE(stream.read_frame(5s));
}

TEST(CapturePointer, PointerIsDrawnWhereItIs) {
    Xvfb server("640x480x24");
    ASSERT_TRUE(server.ok());
    Scene scene(server.display());
    scene.client.move_pointer(400, 300);
    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(10s)) << helper.stderr_text();

    // The cursor covers a few pixels around its hotspot and nothing far away.
    auto drawn_at = [](int x, int y) {
        return [x, y](const std::vector<uint8_t>& f) { return !region_is(f, 640, x - 6, y - 6, 12, kBackground); };
    };
    EXPECT_TRUE(frame_where(stream, drawn_at(400, 300)));
    scene.client.move_pointer(300, 400);
    EXPECT_TRUE(frame_where(stream, [&](const std::vector<uint8_t>& f) {
        return drawn_at(300, 400)(f) && region_is(f, 640, 394, 294, 12, kBackground);
    }));
}

}  // namespace
