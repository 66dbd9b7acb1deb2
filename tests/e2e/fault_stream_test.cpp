// What a controller sees when it misbehaves as a reader of the frame stream.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "support/stream_client.h"
#include "support/x_test_client.h"
#include "support/xvfb.h"

namespace {

using namespace std::chrono_literals;

// Shared memory segments that `pid` created and that still exist.
int shm_segments_of(pid_t pid) {
    std::ifstream table("/proc/sysvipc/shm");
    std::string line;
    std::getline(table, line);  // column names
    int count = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        long key, id, perms, size, creator;
        if (fields >> key >> id >> perms >> size >> creator && creator == pid) ++count;
    }
    return count;
}

bool has_children(pid_t pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream children(task.path() / "children");
        std::string child;
        if (children >> child) return true;
    }
    return false;
}

// Waits until `done` holds, for at most `timeout`.
template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(StreamFaults, AReaderThatClosesStdoutEndsTheHelperByBrokenPipeLeavingNothingBehind) {
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    XTestClient client(server.display());
    ASSERT_TRUE(client.ok());
    const int clientsBefore = client.client_count();
    ASSERT_GT(clientsBefore, 0);

    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    ASSERT_TRUE(stream.read_header(5s));
    ASSERT_TRUE(stream.read_frame(2s));
    EXPECT_GT(client.client_count(), clientsBefore);
    EXPECT_GT(shm_segments_of(helper.pid()), 0) << "the frame segment should be visible while capturing";
    EXPECT_FALSE(has_children(helper.pid()));

    helper.close_stdout();
    const auto status = helper.wait_exit(2s);
    ASSERT_TRUE(status) << "still running after its reader went away";
    ASSERT_TRUE(WIFSIGNALED(*status)) << helper.stderr_text();
    EXPECT_EQ(WTERMSIG(*status), SIGPIPE);
    EXPECT_TRUE(eventually([&] { return client.client_count() == clientsBefore; }, 2s))
        << client.client_count() << " X clients, " << clientsBefore << " before the helper";
    EXPECT_TRUE(eventually([&] { return shm_segments_of(helper.pid()) == 0; }, 2s));
}

// A marker in the top-left corner sits at the start of every frame: a frame
// cut short or resumed mid-way would move it.
TEST(StreamFaults, AfterAStalledReaderFramesResumeWhole) {
    Xvfb server("320x240x24");
    ASSERT_TRUE(server.ok());
    XTestClient client(server.display());
    ASSERT_TRUE(client.ok());
    client.set_root_colour(0x102030);
    client.fill_rect(0, 0, 4, 1, 0xFF0000);
    client.move_pointer(300, 220);

    ChildProcess helper(helper_on(server.display()));
    StreamClient stream(helper);
    const auto header = stream.read_header(5s);
    ASSERT_TRUE(header);
    ASSERT_TRUE(stream.read_frame(2s));

    std::this_thread::sleep_for(3s);
    EXPECT_FALSE(helper.wait_exit(0ms)) << "the helper ended while its reader stalled";

    for (int i = 0; i < 30; ++i) {
        const auto frame = stream.read_frame(2s);
        ASSERT_TRUE(frame) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 0, 0), (Bgra{0, 0, 255, 255})) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 4, 0), (Bgra{0x30, 0x20, 0x10, 255})) << "frame " << i;
        EXPECT_EQ(pixel_at(*frame, header->width, 0, header->height - 1), (Bgra{0x30, 0x20, 0x10, 255}));
    }
    helper.close_stdin();
    EXPECT_EQ(helper.wait_exit_code(3s), 0);
}

}  // namespace
