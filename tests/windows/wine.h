#pragma once

#include <stdlib.h>

#include <filesystem>

#include "e2e/xvfb.h"
#include "support/child.h"

// A Windows desktop for the tests: Wine on a private Xvfb, in a Wine prefix
// of its own that goes away with it, and the test window (test_window.cpp)
// covering its primary monitor.
class WineDesktop {
public:
    // Whether Wine and the Windows build (scripts/build.sh windows) are here.
    static bool available() {
        return std::filesystem::exists(WINDOWS_HELPER_PATH) && std::filesystem::exists(TEST_WINDOW_PATH) &&
               Child({"wine", "--version"}, {}, controller::Output::Null, controller::Output::Null).exit_code() == 0;
    }

    WineDesktop() : xvfb_("640x480x24") {
        char dir[] = "/tmp/wine-test-XXXXXX";
        if (!mkdtemp(dir)) return;
        prefix_ = dir;
        env_ = {{"WINEPREFIX", prefix_}, {"WINEDEBUG", "-all"}, {"DISPLAY", xvfb_.display()}, {"WINEDLLOVERRIDES", "mscoree,mshtml="}};
        // Wine's services keep every descriptor they are given open: none of ours.
        Child boot({"wineboot", "-i"}, env_, controller::Output::Null, controller::Output::Null);
        if (boot.exit_code(std::chrono::seconds(120)) != 0) return;
        window_ = std::make_unique<Child>(std::vector<std::string>{"wine", TEST_WINDOW_PATH}, env_,
                                          controller::Output::Log, controller::Output::Null);
        ready_ = window_->wait_log("ready 640 480", std::chrono::seconds(60));
    }
    ~WineDesktop() {
        window_.reset();
        Child({"wineserver", "-k"}, env_, controller::Output::Null, controller::Output::Null).exit_code();
        if (!prefix_.empty()) std::filesystem::remove_all(prefix_);
    }

    bool ready() const { return ready_; }
    // Wine's environment for a program of this desktop.
    const std::map<std::string, std::string>& env() const { return env_; }
    // The test window's log of the input it got.
    const Child& window() const { return *window_; }

private:
    Xvfb xvfb_;
    std::string prefix_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<Child> window_;
    bool ready_ = false;
};
