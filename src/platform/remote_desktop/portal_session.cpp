// A remote-desktop session through the desktop portal: each step is a
// request whose answer comes later as a Response signal, the last one after
// the user has answered the desktop's dialog.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/remote_desktop/remote_desktop_session.h"
#include "platform/remote_desktop/service_names.h"

namespace {

constexpr uint32_t kMonitorSource = 1;
constexpr uint32_t kCursorEmbedded = 2;  // the portal's cursor_mode: drawn into the frames
// Long enough for the user to read the dialog and answer it.
constexpr auto kDialogTimeout = std::chrono::seconds(30);
constexpr auto kRequestTimeout = std::chrono::seconds(5);

struct Response {
    bool came = false;
    uint32_t code = 2;
    MessagePtr results;  // read up to the results dictionary
};

int on_response(sd_bus_message* message, void* response, sd_bus_error*) {
    auto* r = static_cast<Response*>(response);
    r->came = sd_bus_message_read(message, "u", &r->code) >= 0;
    r->results.reset(sd_bus_message_ref(message));
    return 0;
}

// The object path a request with `token` will have: the portal builds it
// from our unique name.
std::string request_path(sd_bus* bus, const std::string& token) {
    const char* unique = nullptr;
    sd_bus_get_unique_name(bus, &unique);
    std::string sender = unique && *unique == ':' ? unique + 1 : "";
    for (char& c : sender)
        if (c == '.') c = '_';
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

// Calls `member` with the arguments `append` adds (it is handed the request's
// token for the options), then waits for its Response. False with `why` set
// when there is none; a refusal is a Response with a non-zero code.
bool request(sd_bus* bus, const char* interface, const char* member, const std::string& token,
             const std::function<int(sd_bus_message*, const char*)>& append, std::chrono::seconds timeout,
             Response* response, std::string* why) {
    const std::string path = request_path(bus, token);
    sd_bus_slot* slot = nullptr;
    // Watched before the call, so that a quick answer is not missed.
    int r = sd_bus_match_signal(bus, &slot, kPortalService, path.c_str(), kPortalRequest, "Response", on_response,
                                response);
    SlotPtr watch(slot);
    sd_bus_message* call = nullptr;
    if (r >= 0) r = sd_bus_message_new_method_call(bus, &call, kPortalService, kPortalPath, interface, member);
    MessagePtr owned(call);
    if (r >= 0) r = append(call, token.c_str());
    BusError error;
    sd_bus_message* reply = nullptr;
    if (r >= 0) r = sd_bus_call(bus, call, 0, error.get(), &reply);
    MessagePtr ownedReply(reply);
    if (r < 0) {
        *why = std::string(member) + ": " + error.text(r);
        return false;
    }
    std::string waitWhy;
    if (!process_until(bus, timeout, [&] { return response->came; }, &waitWhy)) {
        *why = std::string(member) + ": no answer from the portal: " + waitWhy;
        return false;
    }
    return true;
}

// Steps through the results dictionary of a Response, handing each key to
// `read`, which reads its variant or returns false to have it skipped.
void read_results(sd_bus_message* m, const std::function<bool(const char* key)>& read) {
    if (sd_bus_message_enter_container(m, 'a', "{sv}") < 0) return;
    while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        if (sd_bus_message_read(m, "s", &key) < 0 || !read(key)) sd_bus_message_skip(m, "v");
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
}

// A string or an object path in a variant, as portals of different ages send it.
bool read_path_variant(sd_bus_message* m, std::string* out) {
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(m, nullptr, &contents) < 0 || !contents) return false;
    const char* value = nullptr;
    if (sd_bus_message_read(m, "v", contents, &value) < 0 || !value) return false;
    *out = value;
    return true;
}

// The first stream of Start's results: its node and size.
bool read_first_stream(sd_bus_message* m, uint32_t* node, uint32_t* width, uint32_t* height) {
    if (sd_bus_message_enter_container(m, 'v', "a(ua{sv})") < 0) return false;
    bool found = false;
    if (sd_bus_message_enter_container(m, 'a', "(ua{sv})") >= 0) {
        if (sd_bus_message_enter_container(m, 'r', "ua{sv}") > 0) {
            found = sd_bus_message_read(m, "u", node) >= 0;
            read_results(m, [&](const char* key) {
                int32_t w = 0, h = 0;
                if (strcmp(key, "size") != 0 || sd_bus_message_read(m, "v", "(ii)", &w, &h) < 0) return false;
                if (w > 0 && h > 0) *width = uint32_t(w), *height = uint32_t(h);
                return true;
            });
            sd_bus_message_exit_container(m);
        }
        while (sd_bus_message_skip(m, "(ua{sv})") > 0) {
        }
        sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    return found;
}

}  // namespace

std::unique_ptr<RemoteDesktopSession> open_portal_session(std::string* why, RemoteDesktopSession::Failure* failure) {
    using Failure = RemoteDesktopSession::Failure;
    *failure = Failure::unreachable;
    uint32_t available = 0;
    BusPtr bus = open_session_bus(why);
    if (!bus) return nullptr;
    sd_bus* b = bus.get();
    if (!read_uint_property(b, kPortalService, kPortalPath, kPortalRemoteDesktop, "AvailableDeviceTypes", &available,
                            why)) {
        *why = "no desktop portal with RemoteDesktop on the session bus: " + *why;
        return nullptr;
    }
    std::unique_ptr<RemoteDesktopSession> s(new RemoteDesktopSession(RemoteDesktopSession::Kind::portal, std::move(bus)));
    const std::string prefix = "screenshare_helper_" + std::to_string(getpid()) + "_";

    Response created;
    if (!request(b, kPortalRemoteDesktop, "CreateSession", prefix + "create",
                 [&](sd_bus_message* m, const char* token) {
                     return sd_bus_message_append(m, "a{sv}", 2, "handle_token", "s", token, "session_handle_token",
                                                  "s", (prefix + "session").c_str());
                 },
                 kRequestTimeout, &created, why)) {
        return nullptr;
    }
    if (created.code == 0) {
        read_results(created.results.get(), [&](const char* key) {
            return strcmp(key, "session_handle") == 0 && read_path_variant(created.results.get(), &s->sessionPath_);
        });
    }
    if (s->sessionPath_.empty()) {
        *why = "CreateSession: the portal gave no session (answer " + std::to_string(created.code) + ")";
        return nullptr;
    }
    const char* session = s->sessionPath_.c_str();
    Response devices, sources, started;
    const bool selected =
        request(b, kPortalRemoteDesktop, "SelectDevices", prefix + "devices",
                [&](sd_bus_message* m, const char* token) {
                    return sd_bus_message_append(m, "oa{sv}", session, 2, "handle_token", "s", token, "types", "u",
                                                 kKeyboardDevice | kPointerDevice);
                },
                kRequestTimeout, &devices, why) &&
        request(b, kPortalScreenCast, "SelectSources", prefix + "sources",
                [&](sd_bus_message* m, const char* token) {
                    return sd_bus_message_append(m, "oa{sv}", session, 4, "handle_token", "s", token, "types", "u",
                                                 kMonitorSource, "multiple", "b", 0, "cursor_mode", "u",
                                                 kCursorEmbedded);
                },
                kRequestTimeout, &sources, why);
    if (!selected) return nullptr;
    if (devices.code != 0 || sources.code != 0) {
        *why = "the portal refused the devices or the screen (answers " + std::to_string(devices.code) + ", " +
               std::to_string(sources.code) + ")";
        return nullptr;
    }
    if (!request(b, kPortalRemoteDesktop, "Start", prefix + "start",
                 [&](sd_bus_message* m, const char* token) {
                     return sd_bus_message_append(m, "osa{sv}", session, "", 1, "handle_token", "s", token);
                 },
                 kDialogTimeout, &started, why)) {
        *failure = Failure::refused;
        return nullptr;
    }
    if (started.code != 0) {
        *why = "the user did not allow sharing the screen (portal answer " + std::to_string(started.code) + ")";
        *failure = Failure::refused;
        return nullptr;
    }
    uint32_t granted = 0;
    bool streamed = false;
    read_results(started.results.get(), [&](const char* key) {
        if (strcmp(key, "devices") == 0) return sd_bus_message_read(started.results.get(), "v", "u", &granted) >= 0;
        if (strcmp(key, "streams") == 0) {
            streamed = read_first_stream(started.results.get(), &s->node_, &s->width_, &s->height_);
            return true;
        }
        return false;
    });
    if (!streamed) {
        *why = "the portal started no screen cast";
        *failure = Failure::refused;
        return nullptr;
    }
    s->keyboardAndPointer_ = (granted & (kKeyboardDevice | kPointerDevice)) == (kKeyboardDevice | kPointerDevice);

    BusError error;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(b, kPortalService, kPortalPath, kPortalScreenCast, "OpenPipeWireRemote", error.get(),
                               &reply, "oa{sv}", session, 0);
    MessagePtr ownedReply(reply);
    int fd = -1;
    if (r >= 0) r = sd_bus_message_read(reply, "h", &fd);
    if (r >= 0) {
        // The descriptor belongs to the reply: ours is a copy.
        s->pipewireRemote_ = UniqueFd(fcntl(fd, F_DUPFD_CLOEXEC, 3));
        if (!s->pipewireRemote_.valid()) r = -errno;
    }
    if (r < 0) {
        *why = "OpenPipeWireRemote: " + error.text(r);
        return nullptr;
    }
    if (!s->run(kPortalSession, session, why)) return nullptr;
    *failure = Failure::none;
    return s;
}
