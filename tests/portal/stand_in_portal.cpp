// A stand-in for the desktop portal on a test's session bus: the
// RemoteDesktop and ScreenCast calls the helper makes, answered by
// forwarding them to mutter's own interfaces, with no dialog. With
// --refuse, Start answers as a user who refused the dialog; SIGUSR1 closes
// the session, as a desktop does when the user ends the sharing.

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kMutterRd = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kMutterRdSession = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kMutterSc = "org.gnome.Mutter.ScreenCast";

struct Portal {
    sd_bus* bus = nullptr;     // where the helper calls us
    sd_bus* mutter = nullptr;  // our own connection to mutter, whose sessions are tied to it
    bool refuse = false;
    std::string session, rdPath, scPath, streamPath;
    uint32_t node = 0;
    bool streamAdded = false;
} g_portal;

volatile sig_atomic_t g_closeAsked = 0;

// The object path the portal gives a request or session of `token` from the message's sender.
std::string handle_path(sd_bus_message* m, const char* kind, const char* token) {
    std::string sender = sd_bus_message_get_sender(m) + 1;
    for (char& c : sender)
        if (c == '.') c = '_';
    return std::string(kPath) + "/" + kind + "/" + sender + "/" + token;
}

using Options = std::map<std::string, std::string>;

// Reads an options dictionary, keeping the values that are strings.
int read_options(sd_bus_message* m, Options& strings) {
    int r = sd_bus_message_enter_container(m, 'a', "{sv}");
    while (r >= 0 && (r = sd_bus_message_enter_container(m, 'e', "sv")) > 0) {
        const char *key = nullptr, *contents = nullptr, *value = nullptr;
        if ((r = sd_bus_message_read(m, "s", &key)) >= 0) r = sd_bus_message_peek_type(m, nullptr, &contents);
        if (r >= 0) r = !strcmp(contents, "s") ? sd_bus_message_read(m, "v", "s", &value) : sd_bus_message_skip(m, "v");
        if (r >= 0 && value) strings[key] = value;
        if (r >= 0) r = sd_bus_message_exit_container(m);
    }
    return r < 0 ? r : sd_bus_message_exit_container(m);
}

// Answers the call with its request's path, then the request with `code` and the results: their
// count, then each key, type and value.
template <typename... Results>
int respond(sd_bus_message* call, const std::string& token, uint32_t code, Results... results) {
    const std::string request = handle_path(call, "request", token.c_str());
    const int r = sd_bus_reply_method_return(call, "o", request.c_str());
    return r < 0 ? r : sd_bus_emit_signal(g_portal.bus, request.c_str(), "org.freedesktop.portal.Request", "Response",
                                          "ua{sv}", code, results...);
}

int on_stream_added(sd_bus_message* m, void*, sd_bus_error*) {
    g_portal.streamAdded = sd_bus_message_read(m, "u", &g_portal.node) >= 0;
    return 0;
}

int on_mutter_closed(sd_bus_message*, void*, sd_bus_error*) {
    sd_bus_emit_signal(g_portal.bus, g_portal.session.c_str(), "org.freedesktop.portal.Session", "Closed", "a{sv}", 0);
    return 0;
}

// Calls `member` of mutter's remote-desktop session, the reply dropped.
template <typename... Args>
int call_session(const char* member, sd_bus_error* error, const char* types, Args... args) {
    return sd_bus_call_method(g_portal.mutter, kMutterRd, g_portal.rdPath.c_str(), kMutterRdSession, member, error,
                              nullptr, types, args...);
}

const char* read_path(sd_bus_message* reply) {
    const char* path = "";
    sd_bus_message_read(reply, "o", &path);
    return path;
}

int create_session(sd_bus_message* m, void*, sd_bus_error* error) {
    Options options;
    if (read_options(m, options) < 0) return -EINVAL;
    g_portal.session = handle_path(m, "session", options["session_handle_token"].c_str());
    sd_bus_message* reply = nullptr;
    char* id = nullptr;
    int r = sd_bus_call_method(g_portal.mutter, kMutterRd, "/org/gnome/Mutter/RemoteDesktop", kMutterRd, "CreateSession",
                               error, &reply, "");
    if (r >= 0) g_portal.rdPath = read_path(reply), sd_bus_message_unref(reply);
    if (r >= 0) r = sd_bus_get_property_string(g_portal.mutter, kMutterRd, g_portal.rdPath.c_str(), kMutterRdSession,
                                               "SessionId", error, &id);
    if (r >= 0) r = sd_bus_call_method(g_portal.mutter, kMutterSc, "/org/gnome/Mutter/ScreenCast", kMutterSc,
                                       "CreateSession", error, &reply, "a{sv}", 1, "remote-desktop-session-id", "s", id);
    free(id);
    if (r >= 0) g_portal.scPath = read_path(reply), sd_bus_message_unref(reply);
    if (r >= 0) r = sd_bus_match_signal(g_portal.mutter, nullptr, kMutterRd, g_portal.rdPath.c_str(), kMutterRdSession,
                                        "Closed", on_mutter_closed, nullptr);
    return r < 0 ? r : respond(m, options["handle_token"], 0, 1, "session_handle", "o", g_portal.session.c_str());
}

// SelectDevices and SelectSources: the helper asks for what mutter gives anyway.
int select(sd_bus_message* m, void*, sd_bus_error*) {
    Options options;
    if (sd_bus_message_skip(m, "o") < 0 || read_options(m, options) < 0) return -EINVAL;
    return respond(m, options["handle_token"], 0, 0);
}

int start(sd_bus_message* m, void*, sd_bus_error* error) {
    Options options;
    if (sd_bus_message_skip(m, "os") < 0 || read_options(m, options) < 0) return -EINVAL;
    const std::string token = options["handle_token"];
    if (g_portal.refuse) return respond(m, token, 1, 0);
    g_portal.streamAdded = false;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(g_portal.mutter, kMutterSc, g_portal.scPath.c_str(), "org.gnome.Mutter.ScreenCast.Session",
                               "RecordMonitor", error, &reply, "sa{sv}", "", 1, "cursor-mode", "u", 1u);
    if (r >= 0) g_portal.streamPath = read_path(reply), sd_bus_message_unref(reply);
    if (r >= 0) r = sd_bus_match_signal(g_portal.mutter, nullptr, kMutterSc, g_portal.streamPath.c_str(),
                                        "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded", on_stream_added, nullptr);
    if (r >= 0) r = call_session("Start", error, "");
    while (r >= 0 && !g_portal.streamAdded) {
        r = sd_bus_process(g_portal.mutter, nullptr);
        if (r == 0) r = sd_bus_wait(g_portal.mutter, 10'000'000);
    }
    // The devices and the one stream.
    return r < 0 ? r : respond(m, token, 0, 2, "devices", "u", 3u, "streams", "a(ua{sv})", 1, g_portal.node, 1,
                               "source_type", "u", 1u);
}

int open_pipewire_remote(sd_bus_message* m, void*, sd_bus_error*) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0", getenv("XDG_RUNTIME_DIR"));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) return -errno;
    const int r = sd_bus_reply_method_return(m, "h", fd);
    close(fd);
    return r;
}

// Each Notify* call becomes mutter's, in its own dialect.
int notify(sd_bus_message* m, void*, sd_bus_error* error) {
    const std::string member = sd_bus_message_get_member(m);
    const char* name = member.c_str();
    int r = sd_bus_message_skip(m, "oa{sv}");
    uint32_t u = 0;
    int32_t i = 0;
    double x = 0, y = 0;
    if (member == "NotifyPointerMotionAbsolute" && (r = sd_bus_message_read(m, "udd", &u, &x, &y)) >= 0) {
        r = call_session(name, error, "sdd", g_portal.streamPath.c_str(), x, y);
    } else if (member == "NotifyPointerMotion" && (r = sd_bus_message_read(m, "dd", &x, &y)) >= 0) {
        r = call_session("NotifyPointerMotionRelative", error, "dd", x, y);
    } else if (member == "NotifyPointerAxisDiscrete" && (r = sd_bus_message_read(m, "ui", &u, &i)) >= 0) {
        r = call_session(name, error, "ui", u, i);
    } else if ((r = sd_bus_message_read(m, "iu", &i, &u)) >= 0) {  // buttons and keysyms
        r = call_session(name, error, member == "NotifyPointerButton" ? "ib" : "ub", i, int(u != 0));
    }
    return r < 0 ? r : sd_bus_reply_method_return(m, "");
}

int close_session(sd_bus_message* m, void*, sd_bus_error* error) {
    const int r = call_session("Stop", error, "");
    return r < 0 ? r : sd_bus_reply_method_return(m, "");
}

int property(sd_bus*, const char*, const char*, const char* name, sd_bus_message* reply, void*, sd_bus_error*) {
    return sd_bus_message_append(reply, "u", !strcmp(name, "version") ? 2u : !strcmp(name, "AvailableDeviceTypes") ? 3u : 1u);
}

const sd_bus_vtable kRemoteDesktop[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("CreateSession", "a{sv}", "o", create_session, 0),
    SD_BUS_METHOD("SelectDevices", "oa{sv}", "o", select, 0),
    SD_BUS_METHOD("Start", "osa{sv}", "o", start, 0),
    SD_BUS_METHOD("NotifyPointerMotion", "oa{sv}dd", "", notify, 0),
    SD_BUS_METHOD("NotifyPointerMotionAbsolute", "oa{sv}udd", "", notify, 0),
    SD_BUS_METHOD("NotifyPointerButton", "oa{sv}iu", "", notify, 0),
    SD_BUS_METHOD("NotifyPointerAxisDiscrete", "oa{sv}ui", "", notify, 0),
    SD_BUS_METHOD("NotifyKeyboardKeysym", "oa{sv}iu", "", notify, 0),
    SD_BUS_PROPERTY("AvailableDeviceTypes", "u", property, 0, 0),
    SD_BUS_PROPERTY("version", "u", property, 0, 0),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kScreenCast[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("SelectSources", "oa{sv}", "o", select, 0),
    SD_BUS_METHOD("OpenPipeWireRemote", "oa{sv}", "h", open_pipewire_remote, 0),
    SD_BUS_PROPERTY("AvailableSourceTypes", "u", property, 0, 0),
    SD_BUS_PROPERTY("AvailableCursorModes", "u", property, 0, 0),
    SD_BUS_PROPERTY("version", "u", property, 0, 0),
    SD_BUS_VTABLE_END,
};

const sd_bus_vtable kSession[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Close", "", "", close_session, 0),
    SD_BUS_SIGNAL("Closed", "a{sv}", 0),
    SD_BUS_VTABLE_END,
};

}  // namespace

int main(int argc, char** argv) {
    g_portal.refuse = argc > 1 && !strcmp(argv[1], "--refuse");
    int r;
    if ((r = sd_bus_open_user(&g_portal.bus)) < 0 || (r = sd_bus_open_user(&g_portal.mutter)) < 0 ||
        (r = sd_bus_add_object_vtable(g_portal.bus, nullptr, kPath, "org.freedesktop.portal.RemoteDesktop",
                                      kRemoteDesktop, nullptr)) < 0 ||
        (r = sd_bus_add_object_vtable(g_portal.bus, nullptr, kPath, "org.freedesktop.portal.ScreenCast", kScreenCast,
                                      nullptr)) < 0 ||
        (r = sd_bus_add_fallback_vtable(g_portal.bus, nullptr, "/org/freedesktop/portal/desktop/session",
                                        "org.freedesktop.portal.Session", kSession, nullptr, nullptr)) < 0 ||
        (r = sd_bus_request_name(g_portal.bus, "org.freedesktop.portal.Desktop", 0)) < 0) {
        fprintf(stderr, "stand-in portal: cannot serve on the session bus: %s\n", strerror(-r));
        return 1;
    }
    signal(SIGUSR1, [](int) { g_closeAsked = 1; });
    for (;;) {
        if (g_closeAsked && !g_portal.rdPath.empty()) {
            g_closeAsked = 0;
            call_session("Stop", nullptr, "");
        }
        while ((r = sd_bus_process(g_portal.bus, nullptr)) > 0 || (r >= 0 && sd_bus_process(g_portal.mutter, nullptr) > 0)) {
        }
        if (r < 0) return 0;  // the bus has gone
        pollfd fds[] = {{sd_bus_get_fd(g_portal.bus), short(sd_bus_get_events(g_portal.bus)), 0},
                        {sd_bus_get_fd(g_portal.mutter), short(sd_bus_get_events(g_portal.mutter)), 0}};
        poll(fds, 2, 1000);
    }
}
