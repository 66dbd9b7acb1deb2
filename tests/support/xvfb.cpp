#include "support/xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

bool lock_file_exists(int n) {
    struct stat st{};
    return stat(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), &st) == 0;
}

bool accepts_connections(int n) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    snprintf(addr.sun_path, sizeof addr.sun_path, "/tmp/.X11-unix/X%d", n);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

Xvfb::Xvfb(const std::string& screen, const std::vector<std::string>& extraArgs) {
    // Spread concurrent test processes over different numbers, then probe.
    for (int attempt = 0; attempt < 200 && !ready_; ++attempt) {
        const int n = 100 + (getpid() * 7 + attempt * 13) % 800;
        if (lock_file_exists(n)) continue;
        display_ = ":" + std::to_string(n);
        std::vector<std::string> args = {"Xvfb", display_, "-screen", "0", screen, "-noreset", "-nolisten", "tcp"};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        pid_ = fork();
        if (pid_ == 0) {
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (accepts_connections(n)) {
                ready_ = true;
                break;
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;  // lost a race for this number, or Xvfb refused
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ready_) kill_server();
    }
}

Xvfb::~Xvfb() { kill_server(); }

void Xvfb::kill_server() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
}
