// A controller that sends garbage on stdin: the helper survives it, keeps
// streaming frames, and its memory stays where it was.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

long resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

TEST(InputFaults, TenMegabytesOfRandomBytesLeaveTheHelperStreamingWithFlatMemory) {
    constexpr size_t kFloodBytes = 10 * 1024 * 1024;
    constexpr long kMemoryNoiseKib = 8 * 1024;
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    auto options = helper_on(server.display());
    options.stderrKeep = 64 * 1024;  // nearly every byte is an unknown type and logs a line
    ChildProcess helper(options);
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(5s));
    ASSERT_TRUE(stream.read_frame(5s));
    const long residentBefore = resident_kib(helper.pid());
    ASSERT_GT(residentBefore, 0);

    std::atomic<bool> flooded{false};
    std::thread writer([&] {
        std::mt19937 random(20261207);
        std::vector<uint8_t> chunk(64 * 1024);
        for (size_t sent = 0; sent < kFloodBytes; sent += chunk.size()) {
            for (auto& byte : chunk) byte = static_cast<uint8_t>(random());
            if (!helper.write_stdin(chunk)) break;
        }
        flooded = true;
    });

    // Frames and log lines are both read as they come, or the helper would
    // wait on one pipe while we wait on the other.
    long residentPeak = residentBefore;
    size_t frames = 0;
    auto lastFrame = Clock::now();
    auto longestGap = Clock::duration::zero();
    bool streaming = true;
    while (!flooded && streaming) {
        helper.stderr_bytes();
        if (!helper.stdout_has_data(1ms)) {
            streaming = Clock::now() - lastFrame < 5s;
            continue;
        }
        streaming = stream.read_frame(5s).has_value();
        longestGap = std::max(longestGap, Clock::now() - lastFrame);
        lastFrame = Clock::now();
        residentPeak = std::max(residentPeak, resident_kib(helper.pid()));
        ++frames;
    }
    if (!streaming) helper.kill_now(SIGKILL);
    writer.join();
    ASSERT_TRUE(streaming) << "no frame for 5 s during the flood\n" << helper.stderr_text();

    EXPECT_LT(residentPeak - residentBefore, kMemoryNoiseKib) << residentBefore << " KiB before the flood";
    EXPECT_LT(longestGap, 1s) << frames << " frames during the flood";
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(stream.read_frame(2s)) << "frame " << i << " after the flood";
    helper.close_stdin();
    EXPECT_EQ(helper.wait_exit_code(2s), 0) << helper.stderr_text();
    EXPECT_GT(helper.stderr_bytes(), kFloodBytes) << "one line per unknown byte";
}

}  // namespace
