#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A private X server for one test, on a display number of its own; -noreset
// keeps the pointer, keymap and root contents when clients leave.
class Xvfb {
public:
    explicit Xvfb(const std::string& screen = "640x480x24", const std::vector<std::string>& extraArgs = {});
    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool ok() const { return pid_ > 0; }
    const std::string& display() const { return display_; }
    void stop();

private:
    pid_t pid_ = -1;
    std::string display_;
};
