#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "e2e/desktop_dir.h"
#include "support/child.h"

// A private sway for one test, headless, with one output HEADLESS-1 of the
// given size, in a runtime directory of its own, where it also works (the
// test's own may be closed to its user). Clients reach it by the absolute
// path of its socket.
class Sway {
public:
    static constexpr const char* kBackground = "#2060C0";  // drawn by swaybg, soon after sway starts

    // `leftWidth`: a second output, HEADLESS-2, that wide, at the layout's
    // origin, HEADLESS-1 to its right: the first listed is not the main one.
    explicit Sway(int width = 640, int height = 480, int leftWidth = 0) {
        for (int attempt = 0; attempt < 2 && socket_.empty(); ++attempt) {
            const DesktopDir dir = desktop_dir("sway-test");
            dir_ = dir.path, log_ = dir.error;
            if (!log_.empty()) return;
            std::vector<std::string> args = dir.asUser;  // each one execs the next: the child is sway itself
            std::ofstream config(dir_ + "/config");
            config << "output HEADLESS-1 resolution " << width << "x" << height << " position " << leftWidth << " 0 bg "
                   << kBackground << " solid_color\ndefault_border none\nxwayland disable\n";
            if (leftWidth) {
                config << "output HEADLESS-2 resolution " << leftWidth << "x" << height << " position 0 0 bg "
                       << kBackground << " solid_color\n";
            }
            config.close();
            chmod((dir_ + "/config").c_str(), 0644);
            args.insert(args.end(), {"/usr/bin/env", "-i", "-C", dir_, "XDG_RUNTIME_DIR=" + dir_, "WLR_BACKENDS=headless",
                                     "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_HEADLESS_OUTPUTS=" + std::to_string(leftWidth ? 2 : 1),
                                     "sway", "-c", dir_ + "/config"});
            sway_ = std::make_unique<Child>(args);
            // A socket alone may belong to a compositor not yet serving: ours must answer.
            eventually([&] { return (socket_ = answering_socket()) != "" || sway_->wait(0ms); }, 30s);
            if (socket_.empty()) log_ = sway_->log(), stop();
        }
    }
    ~Sway() { stop(); }

    // The absolute path for WAYLAND_DISPLAY; empty if sway did not start.
    const std::string& socket() const { return socket_; }
    std::string log() const { return sway_ ? sway_->log() : log_; }
    // Ends sway at once, as a crash would.
    void kill() {
        if (sway_) ::kill(sway_->pid(), SIGKILL), sway_->wait(10s), sway_.reset();
    }
    void stop() {
        kill();
        if (!dir_.empty()) std::filesystem::remove_all(std::exchange(dir_, ""));
    }
    // A client of this sway, not of any X server: "wev", "grim -", ...
    std::unique_ptr<Child> run(const std::string& command) const {
        return std::make_unique<Child>(std::vector<std::string>{"/bin/sh", "-c", "exec " + command}, on(*this));
    }
    // Runs a sway command through its IPC socket; true when sway took it.
    bool command(const std::string& command) const {
        const std::string ipc = file("sway-ipc.");
        return !ipc.empty() && run("swaymsg -s " + ipc + " " + command)->exit_code() == 0;
    }
    friend std::map<std::string, std::string> on(const Sway& sway) {
        return {{"WAYLAND_DISPLAY", sway.socket_}, {"DISPLAY", ""}};
    }

private:
    // The path of the first file in sway's directory named `prefix`... that `fits`; empty if none.
    std::string file(const std::string& prefix, bool (*fits)(const std::string&) = nullptr) const {
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
            const std::string path = entry.path();
            if (entry.path().filename().string().starts_with(prefix) && (!fits || fits(path))) return path;
        }
        return "";
    }
    std::string answering_socket() const {
        return file("wayland-", [](const std::string& p) { return !p.ends_with(".lock") && wayland_answers(p); });
    }

    std::unique_ptr<Child> sway_;
    std::string dir_, socket_, log_;
};

// What wev, a window that sway tiles over the whole output, received: one
// string an event, its continuation lines joined and runs of spaces made one,
// e.g. "[12: wl_pointer] button: serial: 43; time: 3; button: 272 (left), state: 1 (pressed)".
class Wev {
public:
    explicit Wev(const Sway& sway) : wev_(sway.run("stdbuf -oL wev >&2")) {}

    std::vector<std::string> events() const {
        std::vector<std::string> events;
        std::istringstream in(wev_->log());
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || (line[0] != '[' && events.empty())) continue;
            if (line[0] == '[') events.emplace_back();
            for (char c : line)
                if (c != ' ' || (!events.back().empty() && events.back().back() != ' ')) events.back() += c;
        }
        return events;
    }
    // Whether an event after the last one `next` found soon contains `text`;
    // `advance` false leaves the place where the search starts as it was.
    // After one miss, the others fail fast, within the test's time limit.
    bool next(const std::string& text, bool advance = true) {
        const bool found = eventually([&] {
            const auto all = events();
            for (size_t i = seen_; i < all.size(); ++i)
                if (all[i].find(text) != std::string::npos) return seen_ = advance ? i + 1 : seen_, true;
            return false;
        }, missed_ ? 1s : 10s);
        return missed_ = missed_ || !found, found;
    }
    std::string log() const { return wev_->log(); }

private:
    std::unique_ptr<Child> wev_;
    size_t seen_ = 0;
    bool missed_ = false;
};

// The output as grim sees it, the pointer included: 3 bytes a pixel, red,
// green, blue; empty if grim failed.
inline Bytes grim(const Sway& sway, const std::string& output = "HEADLESS-1") {
    const auto child = sway.run("grim -c -t ppm -o " + output + " -");
    Bytes ppm = child->read(16 << 20, 10s);
    int width = 0, height = 0, at = 0;
    const std::string head(ppm.begin(), ppm.begin() + std::min<size_t>(ppm.size(), 32));
    sscanf(head.c_str(), "P6 %d %d 255%*1[\n]%n", &width, &height, &at);
    return at && ppm.size() == size_t(at + width * height * 3) ? Bytes(ppm.begin() + at, ppm.end()) : Bytes{};
}
