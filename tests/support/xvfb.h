#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A private X server for one test: Xvfb on a free display number, started
// with -noreset (so the pointer, keymap and root contents survive clients
// disconnecting) and stopped by its own process id.
class Xvfb {
public:
    // `screen` is Xvfb's -screen 0 argument, e.g. "1280x720x24".
    explicit Xvfb(const std::string& screen = "640x480x24", const std::vector<std::string>& extraArgs = {});
    ~Xvfb();
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool ok() const { return ready_; }
    const std::string& display() const { return display_; }  // ":N"
    pid_t pid() const { return pid_; }

    // Ends the server now (for tests of a server that dies).
    void kill_server();

private:
    pid_t pid_ = -1;
    std::string display_;
    bool ready_ = false;
};
