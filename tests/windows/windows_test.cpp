// The Windows helper under Wine: the stream shows what a Win32 window drew,
// the input it posts reaches that window as sent, and it ends as a
// controller expects. One Wine desktop serves every test: making its prefix
// is most of the run's time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>
#include <tuple>

#include "support/child.h"
#include "windows/test_pattern.h"
#include "windows/wine.h"

namespace {

using controller::button, controller::key, controller::move_to, controller::scroll, controller::text;
using controller::kLeftButton, controller::kPress, controller::kRelease, controller::kRightButton;

class WindowsHelper : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (WineDesktop::available()) desktop_ = std::make_unique<WineDesktop>();
    }
    static void TearDownTestSuite() { desktop_.reset(); }
    void SetUp() override {
        if (!desktop_) GTEST_SKIP() << "no wine, or no Windows build (scripts/build.sh windows)";
        ASSERT_TRUE(desktop_->ready()) << "the test window did not come up under Wine";
    }

    static std::unique_ptr<Child> start(const std::string& arg = "30") {
        return std::make_unique<Child>(std::vector<std::string>{"wine", WINDOWS_HELPER_PATH, arg}, desktop_->env());
    }
    // The helper streaming, its control loop reading: what most tests start from.
    static std::unique_ptr<Child> start_controlled() {
        auto helper = start();
        EXPECT_TRUE(read_header(*helper) && helper->wait_log("control loop started")) << helper->log();
        return helper;
    }
    // Whether the test window soon logs `line` (a whole line) after what it had logged before `since`.
    static bool window_logs(const std::string& line, size_t since) {
        const size_t from = since > 0 ? since - 1 : 0;  // the newline that ends the line before
        return eventually([&] { return desktop_->window().log().find("\n" + line + "\n", from) != std::string::npos; }, 10s);
    }
    static size_t window_log_size() { return desktop_->window().log().size(); }
    // Sends `messages`; true when the window then logs each of `lines`, in order.
    static bool arrives(Child& helper, const std::vector<Bytes>& messages, const std::vector<std::string>& lines) {
        size_t at = window_log_size();
        for (const Bytes& m : messages) helper.send(m);
        for (const std::string& line : lines) {
            if (!window_logs(line, at)) return false;
            at = desktop_->window().log().find("\n" + line + "\n", at ? at - 1 : 0) + line.size() + 2;
        }
        return true;
    }

    static inline std::unique_ptr<WineDesktop> desktop_;
};

// Whether `frame` is the test pattern, opaque, on every pixel farther than
// 64 from (px, py), and something else (the pointer) somewhere nearer.
bool shows_pattern_and_pointer(const Bytes& frame, const StreamHeader& h, int px, int py, bool bandInverted = false) {
    bool pointer = false;
    for (uint32_t y = 0; y < h.height; ++y) {
        for (uint32_t x = 0; x < h.width; ++x) {
            const uint8_t* p = &frame[(size_t{y} * h.width + x) * 4];
            const uint32_t want = test_pattern_pixel(int(x), int(y), bandInverted);
            const bool same = p[0] == (want & 0xFF) && p[1] == (want >> 8 & 0xFF) && p[2] == (want >> 16) && p[3] == 255;
            const bool near = std::abs(int(x) - px) <= 64 && std::abs(int(y) - py) <= 64;
            if (!same && !near) return false;
            pointer = pointer || (near && !same);
        }
    }
    return pointer;
}

// First: later tests right-click, which turns the window's band over.
TEST_F(WindowsHelper, StreamsTheScreenAsDrawnAndEndsWithStdin) {
    auto helper = start();
    const auto h = read_header(*helper);
    ASSERT_TRUE(h) << helper->log();
    EXPECT_EQ(std::tuple(h->width, h->height, h->fps), std::tuple(640u, 480u, 30u));
    EXPECT_TRUE(helper->wait_log("[capture] Display: 640x480 (ID=1)\n")) << helper->log();

    const auto shows = [&](bool bandInverted) {
        return eventually([&] {
            const auto frame = read_frame(*helper, *h);
            return frame && shows_pattern_and_pointer(*frame, *h, 500, 300, bandInverted);
        }, 10s);
    };
    ASSERT_TRUE(arrives(*helper, {move_to(500, 300)}, {"move 500 300"})) << desktop_->window().log() << helper->log();
    EXPECT_TRUE(shows(false)) << "no frame showed the window's pattern with the pointer at 500,300";

    // A band of rows changes: the stream shows it, and only it changed.
    ASSERT_TRUE(arrives(*helper, {button(kRightButton, kPress), button(kRightButton, kRelease)}, {"up right"}));
    EXPECT_TRUE(shows(true)) << "no frame showed the inverted band";

    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
    EXPECT_TRUE(logs(*helper, "[capture] SCStream stopped cleanly\n"));
}

// Every kind of input, as the window gets it.
TEST_F(WindowsHelper, InputReachesTheWindowAsSent) {
    auto helper = start_controlled();
    // Exact pixels, corners included: a move rounded down would land one short.
    for (auto [x, y] : {std::pair{1, 1}, {639, 479}, {333, 217}, {0, 0}, {101, 77}}) {
        const std::string where = std::to_string(x) + " " + std::to_string(y);
        EXPECT_TRUE(arrives(*helper, {move_to(uint16_t(x), uint16_t(y))}, {"move " + where})) << where;
    }
    // Two clicks in place: Windows makes the second a double click.
    const Bytes press = button(kLeftButton, kPress), release = button(kLeftButton, kRelease);
    EXPECT_TRUE(arrives(*helper, {press, release, press, release}, {"down left", "up left", "dblclk left", "up left"}));
    EXPECT_TRUE(arrives(*helper, {button(kRightButton, kPress), button(kRightButton, kRelease), button(3, kPress),
                         button(3, kRelease)},
                        {"down right", "up right", "down middle", "up middle"}));
    // The sign of the other platforms: positive scrolls up.
    EXPECT_TRUE(arrives(*helper, {scroll(2), scroll(-1)}, {"wheel 240", "wheel -120"}));
    // A character beyond the BMP comes as its two surrogates.
    std::vector<Bytes> typed;
    for (uint32_t c : {0xE9u, 0x20ACu, 0x4E2Du, 0x1F600u}) typed.push_back(text(c, kPress)), typed.push_back(text(c, kRelease));
    EXPECT_TRUE(arrives(*helper, typed, {"char 233", "char 8364", "char 20013", "char 55357", "char 56832"}));
    // AWT codes in, virtual keys and scan codes out, the grey keys extended,
    // Control for a Mac's Command; a key that types has its WM_CHAR between.
    for (auto [awt, seen] : {std::pair<uint16_t, std::string>{65, "65 30"}, {10, "13 28"}, {36, "36 71 extended"},
                             {127, "46 83 extended"}, {37, "37 75 extended"}, {116, "116 63"}, {17, "17 29"},
                             {524, "17 29"}, {16, "16 42"}}) {
        EXPECT_TRUE(arrives(*helper, {key(awt, kPress), key(awt, kRelease)}, {"keydown " + seen, "keyup " + seen}))
            << awt;
    }
    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
    EXPECT_FALSE(HasFailure()) << desktop_->window().log();
}

TEST_F(WindowsHelper, EndsWhenItsReaderGoes) {
    auto helper = start();
    ASSERT_TRUE(read_header(*helper)) << helper->log();
    helper->close_stdout();
    // Windows has no SIGPIPE: it ends with the status of a broken pipe.
    const auto status = helper->wait(controller::kPatience);
    ASSERT_TRUE(status) << "still running after its reader went away\n" << helper->log();
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), 0);
}

// A line for each unknown byte, far more than the pipe to a log nobody
// reads holds: the end does not wait on it.
TEST_F(WindowsHelper, ClosingStdinEndsItEvenWhenNobodyReadsItsLog) {
    Child helper({"wine", WINDOWS_HELPER_PATH, "30"}, desktop_->env(), controller::Output::Pipe,
                 controller::Output::Pipe);
    ASSERT_TRUE(read_header(helper));
    ASSERT_TRUE(helper.send(Bytes(20'000, 0xEE)));
    helper.close_stdin();
    EXPECT_EQ(helper.exit_code(), 0);
}

TEST_F(WindowsHelper, CtrlCLetsGoOfHeldInputBeforeItEnds) {
    auto helper = start_controlled();
    const size_t since = window_log_size();
    ASSERT_TRUE(arrives(*helper, {move_to(300, 300), button(kRightButton, kPress)}, {"down right"}))
        << desktop_->window().log();
    // Wine hands SIGINT to a console program as Ctrl+C.
    helper->kill(SIGINT);
    EXPECT_TRUE(window_logs("up right", since)) << desktop_->window().log();
    // STATUS_CONTROL_C_EXIT; on a loaded machine Wine itself sometimes ends the
    // process by the signal once our handler has let go.
    const auto status = helper->wait(controller::kPatience);
    ASSERT_TRUE(status) << helper->log();
    EXPECT_TRUE(WIFEXITED(*status) ? WEXITSTATUS(*status) == (0xC000013A & 0xFF) : WTERMSIG(*status) == SIGINT)
        << *status << "\n" << helper->log();
}

TEST_F(WindowsHelper, ChecksThatInputCanBePosted) {
    auto helper = start("--check-accessibility");
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
    EXPECT_TRUE(logs(*helper, "[ctrl] Accessibility permission granted.\n"));
}

}  // namespace
