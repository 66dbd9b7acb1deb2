#pragma once

#include <filesystem>
#include <fstream>
#include <memory>

#include "e2e/desktop_dir.h"
#include "support/child.h"

// A private headless GNOME for one test: a session bus, pipewire, wireplumber
// (unless the desktop is to lack a session manager, as one whose WirePlumber
// died does) and mutter with one 1280x720 virtual monitor, in a runtime directory of
// their own, as sway is. The bus lets other users in, so that the helper, run by
// the test, may share that desktop.
class Gnome {
public:
    static constexpr const char* kDisplay = "wayland-gnome";

    explicit Gnome(bool sessionManager = true) {
        const DesktopDir dir = desktop_dir("gnome-test");
        dir_ = dir.path, log_ = dir.error, as_user_ = dir.asUser, bus_ = "unix:path=" + dir_ + "/bus";
        if (!log_.empty()) return;
        std::ofstream(dir_ + "/bus.conf")
            << "<busconfig><type>session</type><listen>" << bus_ << "</listen><auth>EXTERNAL</auth>"
            << "<standard_session_servicedirs/><policy context=\"default\"><allow user=\"*\"/>"
            << "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
            << "</policy>"
            // As a desktop's session bus has them: far above the built-in ones.
            << "<limit name=\"auth_timeout\">240000</limit><limit name=\"max_incomplete_connections\">10000</limit>"
            << "<limit name=\"max_replies_per_connection\">50000</limit></busconfig>\n";
        chmod((dir_ + "/bus.conf").c_str(), 0644);
        bus_daemon_ = start({"dbus-daemon", "--nofork", "--config-file=" + dir_ + "/bus.conf"});
        if (!eventually([&] { return std::filesystem::exists(dir_ + "/bus"); }, 10s)) return;
        pipewire_ = start({"pipewire"});
        if (!eventually([&] { return std::filesystem::exists(dir_ + "/pipewire-0"); }, 10s)) return;
        if (sessionManager) wireplumber_ = start({"wireplumber"});
        mutter_ = start({"mutter", "--headless", "--virtual-monitor", "1280x720", "--wayland", "--no-x11",
                         std::string("--wayland-display=") + kDisplay});
        // Both of mutter's doors: its Wayland socket, and its remote desktop on the bus.
        const std::string socket = dir_ + "/" + kDisplay;
        ready_ = eventually([&] { return wayland_answers(socket) && owned("org.gnome.Mutter.ScreenCast"); }, 30s);
    }
    ~Gnome() {
        for (auto* child : {&mutter_, &wireplumber_, &pipewire_, &bus_daemon_}) child->reset();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    bool ready() const { return ready_; }
    std::string log() const {
        std::string all = log_;
        for (const auto* child : {&bus_daemon_, &pipewire_, &wireplumber_, &mutter_})
            if (*child) all += (*child)->log();
        return all;
    }
    const std::string& bus() const { return bus_; }
    // Ends mutter at once, as a crash would.
    void kill_mutter() { mutter_.reset(); }

    // Whether `name` has an owner on the bus.
    bool owned(const std::string& name) const {
        return Child({"/usr/bin/dbus-send", "--bus=" + bus_, "--print-reply", "--dest=org.freedesktop.DBus", "/",
                      "org.freedesktop.DBus.GetNameOwner", "string:" + name}, {}, controller::Output::Pipe,
                     controller::Output::Null).exit_code() == 0;
    }
    // A process on this desktop, as the desktop's user unless `ours`: a client, a service on its bus.
    std::unique_ptr<Child> start(const std::vector<std::string>& command, bool ours = false) const {
        std::vector<std::string> args = ours ? std::vector<std::string>{} : as_user_;
        // Working in the runtime directory: the test's own may be closed to the desktop's user.
        args.insert(args.end(), {"/usr/bin/env", "-i", "-C", dir_, "PATH=/usr/bin:/bin", "HOME=" + dir_, "XDG_RUNTIME_DIR=" + dir_,
                                 "DBUS_SESSION_BUS_ADDRESS=" + bus_, std::string("WAYLAND_DISPLAY=") + kDisplay,
                                 "LANG=C.UTF-8"});
        args.insert(args.end(), command.begin(), command.end());
        return std::make_unique<Child>(args);
    }
    // The helper's environment on this desktop, through `backend`.
    friend std::map<std::string, std::string> on(const Gnome& g, const std::string& backend = "mutter") {
        return {{"DBUS_SESSION_BUS_ADDRESS", g.bus_}, {"XDG_RUNTIME_DIR", g.dir_}, {"WAYLAND_DISPLAY", kDisplay},
                {"DISPLAY", ""}, {"SCREENSHARE_HELPER_BACKEND", backend}};
    }

private:
    std::string dir_, bus_, log_;
    std::vector<std::string> as_user_;
    std::unique_ptr<Child> bus_daemon_, pipewire_, wireplumber_, mutter_;
    bool ready_ = false;
};
