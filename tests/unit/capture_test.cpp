// The capture rules: the command line, which display is captured, what the
// capture service is asked for and what its stopping the stream means, the
// pointer over a frame, the frame store and the writes that take its frames
// to stdout.

#include <fcntl.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "app/command_line.h"
#include "capture/capture_config.h"
#include "capture/capture_loop.h"
#include "capture/cursor_composite.h"
#include "capture/frame_region.h"
#include "capture/frame_store.h"
#include "capture/frame_store_testing.h"
#include "capture/pixel_formats.h"
#include "capture/sample_status.h"
#include "capture/settings.h"
#include "capture/still_screen_pacing.h"
#include "capture/stream_stop.h"
#include "platform/display_choice.h"
#include "platform/write_all.h"
#include "support/child.h"

namespace {

TEST(CommandLine, OnlyTheFirstArgumentCountsReadTheWayAtoiReadsIt) {
    struct Case {
        std::vector<const char*> args;
        std::optional<uint32_t> fps;
        bool query = false;
    } cases[] = {
        {{}, {}}, {{"30"}, 30u}, {{"30fps", "60"}, 30u}, {{"  +45"}, 45u}, {{"1"}, 1u}, {{"120"}, 120u}, {{"121"}, {}},
        {{"0"}, {}}, {{"-5"}, {}}, {{"abc"}, {}}, {{""}, {}}, {{"99999999999999999999"}, {}}, {{"-2147483648"}, {}},
        {{"4294967326"}, {}},  // 30 when cut to 32 bits: still out of range
        {{"--check-accessibility"}, {}, true}, {{"--check-accessibility", "30"}, {}, true},
        {{"--check-accessibility=1"}, {}}, {{"--Check-Accessibility"}, {}}, {{"30", "--check-accessibility"}, 30u},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"screenshare-helper"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
        const CommandLine cli = parse_command_line(int(argv.size()), argv.data());
        EXPECT_EQ(cli.fps, c.fps);
        EXPECT_EQ(cli.checkAccessibility, c.query);
    }
}

TEST(DisplayChoice, MainDisplayElseTheFirstListedElseNone) {
    const std::vector<DisplayInfo> displays = {{7, 0, 0, 800, 600}, {3, 800, 0, 1920, 1080}, {9, 0, 600, 640, 480}};
    EXPECT_EQ(choose_display(displays, 3)->width, 1920u);
    EXPECT_EQ(choose_display(displays, 9)->id, 9u);
    EXPECT_EQ(choose_display(displays, 42)->id, 7u);
    EXPECT_FALSE(choose_display({}, 0));
}

// The service's own stop loses the capture, in its words and with why: the
// user stopping the share and a display gone are told apart from a
// permission, by ScreenCaptureKit's code in its own domain. The stop we asked
// for at the end of input is no failure, whatever its error.
TEST(StreamStop, TheStopsReasonFollowsTheStoppedLine) {
    const std::string sck = kStreamErrorDomain;
    const std::string stopped = "[capture] ERROR: ScreenCaptureKit stopped the stream: why\n";
    const struct {
        const char* what;
        bool requested;
        std::string domain;
        int64_t code;
        std::string log;
    } cases[] = {
        {"the user stopped sharing", false, sck, -3817, stopped + "[capture] The user stopped sharing the screen.\n"},
        {"the display went away", false, sck, -3815,
         stopped + "[capture] The captured display went away (disconnected, or its lid closed).\n"},
        {"the permission declined", false, sck, -3801, stopped + kScreenRecordingLines},
        {"the same number in another domain", false, "NSOSStatusErrorDomain", -3817, stopped + kScreenRecordingLines},
        {"our own stop", true, sck, -3817, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        EXPECT_EQ(report_stream_stop(c.requested, StreamStopError{c.domain, c.code, "why"}), !c.requested);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.log);
    }
}

// A display whose grabs wait for it to change, as a compositor's copy waits
// for damage: only a stop's wake ends such a wait.
class WaitingSource final : public PictureSource {
public:
    bool take_first_picture(std::string*) override { return true; }
    GrabResult grab() override {
        std::unique_lock<std::mutex> guard(lock_);
        ++grabs;
        woken_.wait(guard, [this] { return woken; });
        return GrabResult::skipped;
    }
    const char* lost_lines() const override { return nullptr; }
    void wake() override {
        std::lock_guard<std::mutex> guard(lock_);
        woken = true;
        woken_.notify_all();
    }

    std::atomic<int> grabs{0};
    bool woken = false;

private:
    std::mutex lock_;
    std::condition_variable woken_;
};

TEST(CaptureLoop, AStopEndsEvenAGrabThatWaits) {
    // The thread may still be ending when the test is: all it touches lives on.
    static WaitingSource source;
    static CaptureLoop loop(source);
    static std::atomic<int> cleanStops{0};
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loop.start());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kStartedLine);
    ASSERT_TRUE(eventually([] { return source.grabs == 1; }, 30s));  // waiting for the display
    loop.stop([](const char* error) { cleanStops += error == nullptr; });
    EXPECT_TRUE(eventually([] { return cleanStops == 1; }, 30s));
    EXPECT_EQ(source.grabs, 1);
    loop.stop([](const char* error) { cleanStops += error == nullptr; });  // stopped already: at once
    EXPECT_EQ(cleanStops, 2);
}

// An 8x6 frame with padded rows; pixel (x, y) is B = x, G = y, R = 100.
constexpr uint32_t kW = 8, kH = 6;
constexpr size_t kStride = kW * 4 + 8;

std::vector<uint8_t> frame() {
    std::vector<uint8_t> f(kStride * kH, 0xEE);
    for (uint32_t y = 0; y < kH; ++y)
        for (uint32_t x = 0; x < kW; ++x) {
            uint8_t* p = &f[y * kStride + x * 4];
            p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = 100, p[3] = 255;
        }
    return f;
}

TEST(CursorComposite, PremultipliedOverAndClippedAtTheEdges) {
    auto f = frame();
    const uint32_t cursor[] = {0xFFFFFFFFu, 0x80800000u, 0};  // opaque white, half red, transparent
    composite_cursor(f.data(), kW, kH, kStride, cursor, 3, 1, 3, 2);
    const uint8_t* p = &f[2 * kStride + 3 * 4];
    EXPECT_EQ(std::vector<uint8_t>(p, p + 12),
              (std::vector<uint8_t>{255, 255, 255, 255, 2, 1, 0x80 + 50, 255, 5, 2, 100, 255}));

    // Rounded to nearest (a blue of 1 under half black stays 0), and clamped
    // where a cursor's colour exceeds its alpha.
    f = frame();
    const uint32_t edges[] = {0x80000000u, 0x80FF0000u};
    composite_cursor(f.data(), kW, kH, kStride, edges, 2, 1, 1, 0);
    EXPECT_EQ(std::pair(int(f[1 * 4]), int(f[2 * 4 + 2])), std::pair(0, 255));

    // A white 3x3 cursor at each place covers exactly its visible part, padding never.
    const std::vector<uint32_t> white(3 * 3, 0xFFFFFFFFu);
    for (auto [left, top] : {std::pair<int64_t, int64_t>{-2, -2}, {6, 4}, {-1, 3}, {2, 1}, {-3, 0}, {kW, 0}, {0, kH}}) {
        f = frame();
        composite_cursor(f.data(), kW, kH, kStride, white.data(), 3, 3, left, top);
        for (uint32_t y = 0; y < kH; ++y) {
            for (int64_t x = 0; x <= kW; ++x) {
                const bool inside = x >= left && x < left + 3 && x < kW && y >= top && y < top + 3;
                EXPECT_EQ(f[y * kStride + x * 4 + 2], inside ? 255 : x < kW ? 100 : 0xEE) << left << "," << top;
            }
        }
    }
}

using Bytes = std::vector<uint8_t>;

// A picture whose bytes name their own position (and `tag`); padding is 0xEE.
Bytes picture(size_t width, size_t height, size_t padding, uint8_t tag) {
    const size_t stride = width * 4 + padding;
    Bytes p(stride * height, 0xEE);
    for (size_t y = 0; y < height; ++y)
        for (size_t i = 0; i < width * 4; ++i) p[y * stride + i] = uint8_t(y * 31 + i + tag);
    return p;
}

Bytes snapshot() {
    const uint8_t* p = snapshot_frame();
    return {p, p + size_t{frame_width()} * frame_height() * 4};
}

Bytes read_all(int fd) {
    Bytes out;
    uint8_t buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.insert(out.end(), buffer, buffer + n);
    return out;
}

TEST(FrameStore, KeepsTheFirstSizeAndTheLatestPictureRowsPacked) {
    struct Frame {
        size_t width, height, padding;
    };
    struct Case {
        const char* name;
        std::vector<Frame> frames;  // stored in order, tagged 0, 1, ...
        Bytes expected;
    } cases[] = {
        {"padded rows", {{7, 5, 4}}, picture(7, 5, 0, 0)},
        {"wide padding", {{7, 5, 60}, {7, 5, 0}}, picture(7, 5, 0, 1)},
        {"zero sizes change nothing", {{4, 3, 0}, {0, 3, 0}, {4, 0, 0}}, picture(4, 3, 0, 0)},
        {"only the width differs", {{2, 1, 0}, {1, 1, 0}}, {1, 2, 3, 4, 4, 5, 6, 7}},
        {"a larger one is cropped", {{2, 2, 0}, {3, 4, 8}}, {1, 2, 3, 4, 5, 6, 7, 8, 32, 33, 34, 35, 36, 37, 38, 39}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reset_frame_store_for_tests();
        EXPECT_FALSE(frame_ready());
        for (size_t k = 0; k < c.frames.size(); ++k) {
            const Frame& f = c.frames[k];
            const Bytes p = picture(f.width, f.height, f.padding, uint8_t(k));
            EXPECT_TRUE(store_frame(p.data(), f.width, f.height, f.width * 4 + f.padding));
        }
        EXPECT_TRUE(frame_dims_known() && frame_ready());
        EXPECT_EQ(snapshot(), c.expected);
    }
    // Overlapping rows are no picture: nothing is read from them (ASan would tell).
    const Bytes small = picture(1, 1, 0, 9);
    reset_frame_store_for_tests();
    ASSERT_TRUE(store_frame(small.data(), 2, 2, 4));
    EXPECT_FALSE(frame_dims_known());
    // 65536 x 16384 x 4 is 2^32, one more than the header's 32-bit length holds.
    reset_frame_store_for_tests();
    EXPECT_FALSE(store_frame(small.data(), 65536, 16384, 65536 * 4));
    EXPECT_FALSE(frame_dims_known() || frame_ready());
}

TEST(FrameStore, OverlappingFirstFramesSizeItOnce) {
    reset_frame_store_for_tests();
    const Bytes source = picture(32, 16, 0, 0);
    testing::internal::CaptureStderr();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            for (int k = 0; k < 20; ++k) EXPECT_TRUE(store_frame(source.data(), 32, 16, 128));
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[capture] dimensions resolved: 32x16\n");
    EXPECT_EQ(snapshot(), source);
    reset_frame_store_for_tests();
}

TEST(WriteAll, DeliversEverythingThroughShortWritesAndReportsAReaderGone) {
    int fds[2];
    ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
    fcntl(fds[0], F_SETFL, 0);  // the reader blocks, the writer does not
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    const Bytes data = picture(300, 250, 0, 0);
    Bytes received;
    std::thread reader([&] { received = read_all(fds[0]); });
    EXPECT_TRUE(write_all(fds[1], data.data(), data.size()));
    close(fds[1]);
    reader.join();
    EXPECT_EQ(received, data);

    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(write_all(fds[1], data.data(), 1));
    close(fds[1]);
}

TEST(PlanGrab, DamageBecomesFrameAreasClippedToTheMonitorOrOneBoxWhenTooMany) {
    const PixelRect monitor{100, 50, 200, 100};
    const std::pair<std::vector<PixelRect>, std::vector<PixelRect>> rows[] = {
        {{{0, 0, 100, 200}, {300, 50, 5, 5}}, {}},  // beside the monitor
        {{{90, 40, 20, 20}, {290, 140, 30, 30}}, {{0, 0, 10, 10}, {190, 90, 10, 10}}},
        {{{110, 60, 5, 5}, {200, 100, 5, 5}, {150, 70, 1, 1}}, {{10, 10, 95, 45}}},  // more than two
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first.size());
        PixelRect out[2];
        const size_t n = plan_grab(row.first.data(), row.first.size(), monitor, out, 2);
        EXPECT_EQ(std::vector<PixelRect>(out, out + n), row.second);
    }
}

}  // namespace

// Two rows of two pixels, 0x11..0x88 and 0x99..0xff then 0, with a garbage
// fourth byte: every 32-bit format with X or A on top comes out BGRA, opaque,
// upright; other formats are refused.
TEST(PixelFormats, ThirtyTwoBitRgbBecomesOpaqueBgraTurnedUprightIfNeeded) {
    const uint8_t rows[2][8] = {{1, 2, 3, 0, 4, 5, 6, 0x7F}, {7, 8, 9, 0, 10, 11, 12, 0}};
    for (auto [format, swapped] : {std::pair{kShmArgb8888, false}, {kShmXrgb8888, false}, {kShmAbgr8888, true},
                                   {kShmXbgr8888, true}}) {
        for (bool upsideDown : {false, true}) {
            uint8_t out[2][8] = {};
            copy_as_bgra(pixel_order(format), upsideDown, out[0], 8, rows[0], 8, 2, 2);
            for (int r = 0; r < 2; ++r)
                for (int p = 0; p < 2; ++p) {
                    const uint8_t* in = &rows[upsideDown ? 1 - r : r][p * 4];
                    const uint8_t want[4] = {in[swapped ? 2 : 0], in[1], in[swapped ? 0 : 2], 255};
                    EXPECT_EQ(memcmp(&out[r][p * 4], want, 4), 0) << format << " " << upsideDown << " " << r << p;
                }
        }
    }
    EXPECT_EQ(pixel_order(0x36314752), PixelOrder::unsupported);  // 16-bit RGB565
}

// Complete (0) and Started (4) pictures, and pictures without a status, are
// stored; Idle, Blank, Suspended, Stopped and samples without a picture are not.
TEST(SampleStatus, OnlyPicturesThatMayReplaceTheLastOneAreStored) {
    const std::tuple<bool, std::optional<int64_t>, bool> rows[] = {
        {true, 0, true},  {true, 4, true},  {true, std::nullopt, true},
        {true, 1, false}, {true, 5, false}, {false, 0, false},         {false, std::nullopt, false}};
    for (auto [image, status, stored] : rows) EXPECT_EQ(should_store_sample(image, status), stored) << status.value_or(-1);
}

namespace {

// Reads of a screen that must be read whole to see that it is still: every
// tick until it has been still for a while, then every other one, and every
// tick again from the first change on.
TEST(StillScreenPacing, AStillScreenIsReadEveryOtherTickUntilItChanges) {
    StillScreenPacing pacing;
    std::string reads;
    for (int tick = 0; tick < 40; ++tick) {
        const bool read = pacing.read_this_tick();
        reads += read ? 'r' : '.';
        if (read) pacing.read_found(tick == 29);
    }
    EXPECT_EQ(reads, "rrrrrrrrrrrrrrrr.r.r.r.r.r.r.rrrrrrrrrrr");
}

}  // namespace
