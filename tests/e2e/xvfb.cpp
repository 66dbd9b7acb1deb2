#include "e2e/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "support/child.h"

namespace {

// Whether an X server answers on `display`: a socket alone may belong to a
// server that is gone or stuck.
bool answers(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    const bool ok = !xcb_connection_has_error(c);
    xcb_disconnect(c);
    return ok;
}

}  // namespace

Xvfb::Xvfb(const std::string& screen, const std::vector<std::string>& extraArgs) {
    // Numbers spread by process id, so that tests running at once rarely meet.
    for (int attempt = 0; attempt < 20 && !ok(); ++attempt) {
        display_ = ":" + std::to_string(100 + (getpid() * 7 + attempt * 13) % 800);
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<std::string> args = {"Xvfb", display_, "-displayfd", "3", "-screen", "0", screen,
                                         "-noreset", "-nolisten", "tcp"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 3);  // the server writes its number there once it is ready
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0), dup2(null, 1), dup2(null, 2);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(fds[1]);
        char number[16];
        pollfd fd{fds[0], POLLIN, 0};
        const bool ready = poll(&fd, 1, 30'000) > 0 && ::read(fds[0], number, sizeof number) > 0;
        close(fds[0]);
        if (!ready || !answers(display_)) stop();  // the number was taken after all
    }
}

void Xvfb::stop() {
    if (pid_ <= 0) return;
    // SIGTERM lets the server remove its lock file and socket.
    kill(pid_, SIGTERM);
    if (!eventually([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 5s)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}
