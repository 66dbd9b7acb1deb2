#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>
#include <wayland-client.h>

#include <string>
#include <vector>

// A runtime directory of its own for a desktop that a test starts. Compositors
// refuse to run as root: root runs them as the user scripts/setup.sh makes,
// through setpriv, which execs them where runuser would fork them.
struct DesktopDir {
    static constexpr const char* kUser = "screenshare-test";
    std::string path, error;          // error: why the desktop cannot start
    std::vector<std::string> asUser;  // the prefix that runs a command as the desktop's user, if any
};

inline DesktopDir desktop_dir(const std::string& name) {
    std::string path = "/tmp/" + name + "-XXXXXX";
    if (!mkdtemp(path.data())) return {"", "no directory in /tmp", {}};
    const passwd* user = getuid() == 0 ? getpwnam(DesktopDir::kUser) : nullptr;
    if (getuid() == 0 && (!user || chown(path.c_str(), user->pw_uid, user->pw_gid) != 0))
        return {path, std::string("no user ") + DesktopDir::kUser + ": run scripts/setup.sh", {}};
    if (getuid() != 0) return {path, "", {}};
    return {path, "", {"/usr/bin/setpriv", "--reuid", user->pw_name, "--regid", user->pw_name, "--init-groups", "--"}};
}

// Whether a compositor serves on the Wayland socket `path`: a socket alone may
// belong to one not yet serving, or gone.
inline bool wayland_answers(const std::string& path) {
    wl_display* display = wl_display_connect(path.c_str());
    const bool answers = display && wl_display_roundtrip(display) >= 0;
    if (display) wl_display_disconnect(display);
    return answers;
}
