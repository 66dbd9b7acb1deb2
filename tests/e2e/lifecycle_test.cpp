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

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Without XTEST, input cannot be posted: the X11 form of a missing permission.
TEST(Lifecycle, PermissionAnswersStartUpAFloodOfBytesAndTheEndWithAndWithoutXtest) {
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

        // Then 2 MB of random bytes, about two million messages, closed between
        // two messages: the helper keeps streaming, its memory stays flat, it ends cleanly.
        Child helper(helper_args("24"), on(server));
        const auto h = read_header(helper);
        ASSERT_TRUE(h && read_frame(helper, *h) && helper.wait_log("control loop started")) << helper.log();
        std::mt19937 random(20261207);
        Bytes flood(2 << 20);
        for (auto& byte : flood) byte = uint8_t(random());
        flood.insert(flood.end(), 5, 0x06);  // unknown types: whatever message was open is complete
        std::thread writer([&] { helper.send(flood), helper.close_stdin(); });
        const long before = resident_kib(helper.pid());
        long peak = before;
        while (read_frame(helper, *h)) peak = std::max(peak, resident_kib(helper.pid()));
        writer.join();
        EXPECT_EQ(helper.exit_code(), 0);
        EXPECT_LT(peak - before, 8 * 1024) << before << " KiB before";
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

}  // namespace
