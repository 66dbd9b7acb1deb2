#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "support/child.h"

// A private sshd for one test, on the loopback address only, in the
// foreground, with its own configuration, host key and one key authorized for
// the user running the test, all in a directory of its own. Root may log in
// with that key only; no PAM, so that it needs nothing of the machine's set-up.
class Sshd {
public:
    static constexpr const char* kPath = "/usr/sbin/sshd";

    Sshd() {
        char dir[] = "/tmp/sshd-test-XXXXXX";
        if (!mkdtemp(dir)) return;
        dir_ = dir;
        for (const char* key : {"host_key", "user_key"}) {
            Child keygen({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "", "-f", dir_ + "/" + key});
            if (keygen.exit_code() != 0) {
                log_ = keygen.log();
                return;
            }
        }
        std::filesystem::copy_file(dir_ + "/user_key.pub", dir_ + "/authorized_keys");
        // Where sshd run as root drops its privileges; made by its service at boot, which did not run here.
        if (getuid() == 0) mkdir("/run/sshd", 0755);
        for (int attempt = 0; attempt < 5 && !port_; ++attempt) start(free_port());
    }
    ~Sshd() {
        if (sshd_) sshd_->kill(SIGTERM), sshd_->wait(10s);
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    // 0 if it is not serving.
    int port() const { return port_; }
    std::string log() const { return sshd_ ? log_ + sshd_->log() : log_; }
    // ssh to it, running `command` there, with no configuration but ours and no questions.
    std::vector<std::string> ssh(const std::vector<std::string>& command) const {
        std::vector<std::string> args = {"ssh", "-F", "/dev/null", "-p", std::to_string(port_), "-i", dir_ + "/user_key",
                                         "-o", "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null",
                                         "-o", "BatchMode=yes", "-o", "LogLevel=ERROR", "127.0.0.1"};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

private:
    static sockaddr_in loopback(int port) {
        return {.sin_family = AF_INET, .sin_port = htons(uint16_t(port)), .sin_addr = {htonl(INADDR_LOOPBACK)},
                .sin_zero = {}};
    }
    // A port nobody listens on now; another may take it before sshd does, and then sshd ends.
    static int free_port() {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof address;
        const bool bound = bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                           getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        close(s);
        return bound ? ntohs(address.sin_port) : 0;
    }
    static bool answers(int port) {
        const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = loopback(port);
        const bool yes = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(s);
        return yes;
    }
    void start(int port) {
        const passwd* me = getpwuid(getuid());
        if (!port || !me) return;
        std::ofstream(dir_ + "/sshd_config")
            << "ListenAddress 127.0.0.1\nPort " << port << "\nHostKey " << dir_ << "/host_key\nPidFile " << dir_
            << "/sshd.pid\nAuthorizedKeysFile " << dir_ << "/authorized_keys\nAllowUsers " << me->pw_name
            << "\nPermitRootLogin prohibit-password\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
            << "UsePAM no\nStrictModes no\n";
        if (sshd_) log_ += sshd_->log();
        sshd_ = std::make_unique<Child>(std::vector<std::string>{kPath, "-D", "-e", "-f", dir_ + "/sshd_config"});
        // Serving, or ended: a port taken meanwhile ends it.
        eventually([&] { return answers(port) || sshd_->wait(0ms); }, 10s);
        if (!sshd_->wait(0ms) && answers(port)) port_ = port;
    }

    std::string dir_, log_;
    std::unique_ptr<Child> sshd_;
    int port_ = 0;
};
