// The Windows helper under Wine: the stream shows what a Win32 window drew,
// the input it posts reaches that window as sent, and it ends as a
// controller expects. One Wine desktop serves every test: making its prefix
// is most of the run's time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstring>

#include "support/child.h"
#include "windows/test_pattern.h"
#include "windows/wine.h"

namespace {

using controller::button, controller::key, controller::move_to, controller::scroll, controller::text;
using controller::kLeftButton, controller::kPress, controller::kRelease, controller::kRightButton;

class WindowsHelper : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (WineDesktop::available()) desktop_ = new WineDesktop;
    }
    static void TearDownTestSuite() {
        delete desktop_;
        desktop_ = nullptr;
    }
    void SetUp() override {
        if (!desktop_) GTEST_SKIP() << "no wine, or no Windows build (scripts/build.sh windows)";
        ASSERT_TRUE(desktop_->ready()) << "the test window did not come up under Wine";
    }

    std::unique_ptr<Child> start(const std::vector<std::string>& args = {"30"}) {
        std::vector<std::string> command = {"wine", WINDOWS_HELPER_PATH};
        command.insert(command.end(), args.begin(), args.end());
        return std::make_unique<Child>(command, desktop_->env());
    }
    // Whether the test window soon logs `line` (a whole line) after what it had logged before `since`.
    static bool window_logs(const std::string& line, size_t since) {
        const size_t from = since > 0 ? since - 1 : 0;  // the newline that ends the line before
        return eventually([&] { return desktop_->window().log().find("\n" + line + "\n", from) != std::string::npos; }, 10s);
    }
    static size_t window_log_size() { return desktop_->window().log().size(); }

    static WineDesktop* desktop_;
};

WineDesktop* WindowsHelper::desktop_ = nullptr;

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
    EXPECT_EQ(h->width, 640u);
    EXPECT_EQ(h->height, 480u);
    EXPECT_EQ(h->fps, 30u);
    EXPECT_TRUE(helper->wait_log("[capture] Display: 640x480 (ID=1)\n")) << helper->log();

    const size_t since = window_log_size();
    ASSERT_TRUE(helper->send(move_to(500, 300)));
    ASSERT_TRUE(window_logs("move 500 300", since)) << desktop_->window().log() << helper->log();
    EXPECT_TRUE(eventually([&] {
        const auto frame = read_frame(*helper, *h);
        return frame && shows_pattern_and_pointer(*frame, *h, 500, 300);
    }, 10s)) << "no frame showed the window's pattern with the pointer at 500,300";

    // A band of rows changes: the stream shows it, and only it changed.
    const size_t beforeClick = window_log_size();
    helper->send(button(kRightButton, kPress)), helper->send(button(kRightButton, kRelease));
    ASSERT_TRUE(window_logs("up right", beforeClick));
    EXPECT_TRUE(eventually([&] {
        const auto frame = read_frame(*helper, *h);
        return frame && shows_pattern_and_pointer(*frame, *h, 500, 300, true);
    }, 10s)) << "no frame showed the inverted band";

    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
    EXPECT_NE(helper->log().find("[capture] SCStream stopped cleanly\n"), std::string::npos) << helper->log();
}

TEST_F(WindowsHelper, PointerInputReachesTheWindowAsSent) {
    auto helper = start();
    ASSERT_TRUE(read_header(*helper)) << helper->log();
    ASSERT_TRUE(helper->wait_log("control loop started"));

    // Exact pixels, corners included: a move rounded down would land one short.
    for (auto [x, y] : {std::pair{1, 1}, {639, 479}, {333, 217}, {0, 0}, {101, 77}}) {
        const size_t since = window_log_size();
        ASSERT_TRUE(helper->send(move_to(uint16_t(x), uint16_t(y))));
        EXPECT_TRUE(window_logs("move " + std::to_string(x) + " " + std::to_string(y), since)) << x << "," << y;
    }

    // Two clicks in place: Windows makes the second a double click.
    size_t since = window_log_size();
    for (int i = 0; i < 2; ++i) helper->send(button(kLeftButton, kPress)), helper->send(button(kLeftButton, kRelease));
    EXPECT_TRUE(window_logs("down left\nup left\ndblclk left\nup left", since)) << desktop_->window().log();

    since = window_log_size();
    helper->send(button(kRightButton, kPress)), helper->send(button(kRightButton, kRelease));
    helper->send(button(3, kPress)), helper->send(button(3, kRelease));
    EXPECT_TRUE(window_logs("down right\nup right\ndown middle\nup middle", since)) << desktop_->window().log();

    // The sign of the other platforms: positive scrolls up.
    since = window_log_size();
    helper->send(scroll(2)), helper->send(scroll(-1));
    EXPECT_TRUE(window_logs("wheel 240\nwheel -120", since)) << desktop_->window().log();

    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
}

TEST_F(WindowsHelper, CharactersArriveAsTheirUtf16Units) {
    auto helper = start();
    ASSERT_TRUE(read_header(*helper)) << helper->log();
    ASSERT_TRUE(helper->wait_log("control loop started"));
    helper->send(move_to(200, 200));
    const size_t since = window_log_size();
    for (uint32_t c : {0xE9u, 0x20ACu, 0x4E2Du, 0x1F600u}) helper->send(text(c, kPress)), helper->send(text(c, kRelease));
    // A character beyond the BMP comes as its two surrogates.
    EXPECT_TRUE(window_logs("char 233", since)) << desktop_->window().log();
    EXPECT_TRUE(window_logs("char 8364", since)) << desktop_->window().log();
    EXPECT_TRUE(window_logs("char 20013", since)) << desktop_->window().log();
    EXPECT_TRUE(window_logs("char 55357\nchar 56832", since)) << desktop_->window().log();
    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
}

TEST_F(WindowsHelper, KeysArriveAsVirtualKeysWithScanCodes) {
    auto helper = start();
    ASSERT_TRUE(read_header(*helper)) << helper->log();
    ASSERT_TRUE(helper->wait_log("control loop started"));
    helper->send(move_to(200, 200));
    // AWT codes in, Windows's virtual keys and scan codes out; the grey keys
    // extended, Control for a Mac controller's Command.
    struct Case {
        uint16_t awt;
        std::string seen;
    };
    const Case cases[] = {
        {65, "65 30"}, {10, "13 28"}, {36, "36 71 extended"}, {127, "46 83 extended"},
        {37, "37 75 extended"}, {116, "116 63"}, {17, "17 29"}, {524, "17 29"}, {16, "16 42"},
    };
    for (const Case& c : cases) {
        const size_t since = window_log_size();
        helper->send(key(c.awt, kPress)), helper->send(key(c.awt, kRelease));
        // A key that types something has its WM_CHAR in between.
        EXPECT_TRUE(window_logs("keydown " + c.seen, since) && window_logs("keyup " + c.seen, since))
            << c.awt << "\n" << desktop_->window().log().substr(since);
    }
    helper->close_stdin();
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
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

TEST_F(WindowsHelper, CtrlCLetsGoOfHeldInputBeforeItEnds) {
    auto helper = start();
    ASSERT_TRUE(read_header(*helper)) << helper->log();
    ASSERT_TRUE(helper->wait_log("control loop started"));
    const size_t since = window_log_size();
    helper->send(move_to(300, 300)), helper->send(button(kRightButton, kPress));
    ASSERT_TRUE(window_logs("down right", since)) << desktop_->window().log();
    // Wine hands SIGINT to a console program as Ctrl+C.
    helper->kill(SIGINT);
    EXPECT_TRUE(window_logs("up right", since)) << desktop_->window().log();
    EXPECT_EQ(helper->exit_code(), 0xC000013A & 0xFF) << helper->log();  // STATUS_CONTROL_C_EXIT
}

TEST_F(WindowsHelper, ChecksThatInputCanBePosted) {
    auto helper = start({"--check-accessibility"});
    EXPECT_EQ(helper->exit_code(), 0) << helper->log();
    EXPECT_NE(helper->log().find("[ctrl] Accessibility permission granted.\n"), std::string::npos) << helper->log();
}

}  // namespace
