// How the real helper starts, answers the permission query, and ends, also
// when its controller misbehaves.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "e2e/x_client.h"

namespace {

// Whether each of the lines of `lines` is in `log`, in this order; other
// threads' lines may come in between.
bool in_order(const std::string& log, const std::string& lines) {
    std::istringstream in(lines);
    size_t at = 0;
    for (std::string line; std::getline(in, line); at += line.size()) {
        if ((at = log.find(line, at)) == std::string::npos) return false;
    }
    return true;
}

// Without XTEST, input cannot be posted: the X11 form of a missing permission.
TEST(Lifecycle, PermissionAnswersWithAndWithoutXtest) {
    for (const bool xtest : {true, false}) {
        SCOPED_TRACE(xtest);
        Xvfb server("320x240x24", xtest ? std::vector<std::string>{} : std::vector<std::string>{"-extension", "XTEST"});
        Child query({HELPER_PATH, "--check-accessibility"}, on(server));
        EXPECT_EQ(query.exit_code(), xtest ? 0 : 1);
        EXPECT_TRUE(query.read(1, 100ms).empty());
        EXPECT_EQ(query.log(), xtest ? "[ctrl] Accessibility permission granted.\n"
                                     : "[ctrl] Accessibility permission NOT granted.\n"
                                       "[ctrl] A system dialog has been shown asking for permission.\n"
                                       "[ctrl] Please grant access in System Settings > Privacy & Security > "
                                       "Accessibility.\n"
                                       "[ctrl] Then click 'Start Capture' again. No app restart needed.\n");

        Child helper(helper_args("24"), on(server));
        ASSERT_TRUE(helper.wait_log("[ctrl] control loop started, reading stdin...\n")) << helper.log();
        helper.close_stdin();
        EXPECT_EQ(helper.exit_code(), 0);
        const std::string log = helper.log();
        const std::string report = xtest ? "[ctrl] Accessibility permission granted.\n"
                                         : "[ctrl] Accessibility permission NOT granted.\n"
                                           "[ctrl] A system dialog has been shown asking for permission.\n"
                                           "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n"
                                           "[ctrl] and enable this app. No restart needed after granting.\n";
        EXPECT_TRUE(in_order(log, "[capture] FPS set to 24 from CLI argument\n[capture] Display: 320x240 (ID=\n" + report +
                                      "[capture] Frame writer timer started at 24 fps\n" +
                                      (xtest ? "" : "[ctrl] WARNING: Accessibility permission not granted.\n") +
                                      "[ctrl] control loop started, reading stdin...\n"
                                      "[ctrl] stdin EOF, control loop exiting\n"
                                      "[capture] stdin closed, stopping SCStream...\n"
                                      "[capture] SCStream stopped cleanly\n"))
            << log;
        EXPECT_EQ(log.find("NOT") == std::string::npos, xtest) << log;
        EXPECT_TRUE(in_order(log, "[capture] dimensions resolved: 320x240\n[capture] header sent: 320x240 frameBytes=307200\n"));
    }
}

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// 2 MB of random bytes, about two million messages: the helper keeps
// streaming, its memory stays flat, and it still ends cleanly.
TEST(Lifecycle, AFloodOfRandomBytesLeavesItStreamingWithFlatMemory) {
    Xvfb server("320x240x24");
    Child helper(helper_args(), on(server), false);  // nearly every byte logs a line
    const auto h = read_header(helper);
    ASSERT_TRUE(h && read_frame(helper, *h));
    const long before = resident_kib(helper.pid());
    std::thread writer([&] {
        std::mt19937 random(20261207);
        Bytes chunk(64 * 1024);
        for (int i = 0; i < 32; ++i) {
            for (auto& byte : chunk) byte = uint8_t(random());
            if (!helper.send(chunk)) break;
        }
        helper.close_stdin();
    });
    long peak = before;
    while (read_frame(helper, *h)) peak = std::max(peak, resident_kib(helper.pid()));
    // The stream ends only because the helper does, once the flood is over.
    const bool ended = helper.wait(5s).has_value();
    if (!ended) kill(helper.pid(), SIGKILL);
    writer.join();
    ASSERT_TRUE(ended) << "the stream stalled during the flood";
    EXPECT_EQ(helper.exit_code(), 0);
    EXPECT_LT(peak - before, 8 * 1024) << before << " KiB before";
}

}  // namespace
