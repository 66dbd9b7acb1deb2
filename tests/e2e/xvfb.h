#pragma once

#include <xcb/xcb.h>

#include "support/child.h"

// A private X server for one test, on a display number of its own; -noreset
// keeps the pointer, keymap and root contents when clients leave.
class Xvfb {
public:
    // `without`: an extension the server is not to offer.
    explicit Xvfb(const std::string& screen = "640x480x24", const std::string& without = "") {
        // Numbers spread by process id, so that tests running at once rarely meet.
        for (int attempt = 0; attempt < 20 && pid_ < 0; ++attempt) {
            display_ = ":" + std::to_string(100 + (getpid() * 7 + attempt * 13) % 800);
            std::vector<std::string> args = {"Xvfb",   display_,   "-displayfd", "3",   "-screen",
                                             "0",      screen,     "-noreset",   "-nolisten", "tcp"};
            if (!without.empty()) args.insert(args.end(), {"-extension", without});
            int fds[2];
            if (pipe2(fds, O_CLOEXEC) != 0) return;
            if ((pid_ = fork()) == 0) {
                dup2(fds[1], 3);  // where it says when it is ready
                const int null = open("/dev/null", O_RDWR);
                dup2(null, 0), dup2(null, 1), dup2(null, 2);
                std::vector<char*> argv;
                for (auto& a : args) argv.push_back(a.data());
                execvp("Xvfb", (argv.push_back(nullptr), argv.data()));
                _exit(127);
            }
            close(fds[1]);
            char number[16];
            pollfd fd{fds[0], POLLIN, 0};
            const bool ready = poll(&fd, 1, 30'000) > 0 && ::read(fds[0], number, sizeof number) > 0;
            close(fds[0]);
            // A socket alone may belong to a server that is gone or stuck: ours must answer.
            xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
            if (!ready || xcb_connection_has_error(c)) stop();
            xcb_disconnect(c);
        }
    }
    ~Xvfb() { stop(); }

    const std::string& display() const { return display_; }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);  // lets the server remove its lock file and socket
        if (!eventually([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; })) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};
