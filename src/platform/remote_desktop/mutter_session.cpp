// A remote-desktop session through mutter's own D-Bus interfaces: no dialog,
// as GNOME's remote-desktop service uses them for unattended access.

#include <cstring>

#include "platform/remote_desktop/remote_desktop_session.h"
#include "platform/remote_desktop/service_names.h"

namespace {

constexpr uint32_t kCursorEmbedded = 1;  // mutter's cursor-mode: drawn into the frames
constexpr auto kStreamTimeout = std::chrono::seconds(10);

// A call with a reply of one object path; false with `why` set.
template <typename... Args>
bool call_for_path(sd_bus* bus, const char* service, const char* path, const char* interface, const char* member,
                   std::string* out, std::string* why, const char* signature, Args... args) {
    BusError error;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_call_method(bus, service, path, interface, member, error.get(), &reply, signature, args...);
    MessagePtr owned(reply);
    const char* result = nullptr;
    if (r >= 0) r = sd_bus_message_read(reply, "o", &result);
    if (r < 0) {
        *why = std::string(member) + ": " + error.text(r);
        return false;
    }
    *out = result;
    return true;
}

struct StreamWait {
    uint32_t node = 0;
    bool added = false;
};

int on_stream_added(sd_bus_message* message, void* wait, sd_bus_error*) {
    auto* w = static_cast<StreamWait*>(wait);
    w->added = sd_bus_message_read(message, "u", &w->node) >= 0;
    return 0;
}

// The stream's "size" parameter, when mutter gives it.
void read_stream_size(sd_bus* bus, const char* streamPath, uint32_t* width, uint32_t* height) {
    BusError error;
    sd_bus_message* reply = nullptr;
    if (sd_bus_get_property(bus, kMutterScreenCast, streamPath, kMutterScreenCastStream, "Parameters", error.get(),
                            &reply, "a{sv}") < 0) {
        return;
    }
    MessagePtr owned(reply);
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") < 0) return;
    while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
        const char* key = nullptr;
        int32_t w = 0, h = 0;
        if (sd_bus_message_read(reply, "s", &key) >= 0 && strcmp(key, "size") == 0 &&
            sd_bus_message_read(reply, "v", "(ii)", &w, &h) >= 0 && w > 0 && h > 0) {
            *width = uint32_t(w), *height = uint32_t(h);
        } else {
            sd_bus_message_skip(reply, "v");
        }
        sd_bus_message_exit_container(reply);
    }
}

}  // namespace

std::unique_ptr<RemoteDesktopSession> open_mutter_session(std::string* why, RemoteDesktopSession::Failure* failure) {
    *failure = RemoteDesktopSession::Failure::unreachable;
    BusPtr bus = open_session_bus(why);
    if (!bus) return nullptr;
    sd_bus* b = bus.get();
    std::unique_ptr<RemoteDesktopSession> s(new RemoteDesktopSession(RemoteDesktopSession::Kind::mutter, std::move(bus)));

    if (!call_for_path(b, kMutterRemoteDesktop, kMutterRemoteDesktopPath, kMutterRemoteDesktop, "CreateSession",
                       &s->sessionPath_, why, "")) {
        return nullptr;
    }
    BusError error;
    char* id = nullptr;
    int r = sd_bus_get_property_string(b, kMutterRemoteDesktop, s->sessionPath_.c_str(), kMutterRemoteDesktopSession,
                                       "SessionId", error.get(), &id);
    const std::string sessionId = id ? id : "";
    free(id);
    if (r < 0) {
        *why = "SessionId: " + error.text(r);
        return nullptr;
    }
    if (!call_for_path(b, kMutterScreenCast, kMutterScreenCastPath, kMutterScreenCast, "CreateSession",
                       &s->screenCastPath_, why, "a{sv}", 1, "remote-desktop-session-id", "s", sessionId.c_str()) ||
        !call_for_path(b, kMutterScreenCast, s->screenCastPath_.c_str(), kMutterScreenCastSession, "RecordMonitor",
                       &s->streamPath_, why, "sa{sv}", "", 1, "cursor-mode", "u", kCursorEmbedded)) {
        return nullptr;
    }

    StreamWait wait;
    sd_bus_slot* slot = nullptr;
    r = sd_bus_match_signal(b, &slot, kMutterScreenCast, s->streamPath_.c_str(), kMutterScreenCastStream,
                            "PipeWireStreamAdded", on_stream_added, &wait);
    SlotPtr watch(slot);
    if (r < 0) {
        *why = std::string("cannot watch the stream: ") + strerror(-r);
        return nullptr;
    }
    // Starting the remote-desktop session starts the screen cast tied to it.
    BusError startError;
    r = sd_bus_call_method(b, kMutterRemoteDesktop, s->sessionPath_.c_str(), kMutterRemoteDesktopSession, "Start",
                           startError.get(), nullptr, "");
    if (r < 0) {
        *why = "Start: " + startError.text(r);
        *failure = RemoteDesktopSession::Failure::refused;
        return nullptr;
    }
    std::string waitWhy;
    if (!process_until(b, kStreamTimeout, [&] { return wait.added; }, &waitWhy)) {
        *why = "no PipeWire stream from mutter: " + waitWhy;
        return nullptr;
    }
    watch.reset();
    s->node_ = wait.node;
    read_stream_size(b, s->streamPath_.c_str(), &s->width_, &s->height_);
    uint32_t types = 0;
    std::string ignored;
    s->keyboardAndPointer_ = read_uint_property(b, kMutterRemoteDesktop, kMutterRemoteDesktopPath, kMutterRemoteDesktop,
                                                "SupportedDeviceTypes", &types, &ignored) &&
                             (types & (kKeyboardDevice | kPointerDevice)) == (kKeyboardDevice | kPointerDevice);
    if (!s->run(kMutterRemoteDesktopSession, s->sessionPath_.c_str(), why)) return nullptr;
    *failure = RemoteDesktopSession::Failure::none;
    return s;
}

bool remote_desktop_device_types(RemoteDesktopSession::Kind kind, uint32_t* types, std::string* why) {
    BusPtr bus = open_session_bus(why);
    if (!bus) return false;
    if (kind == RemoteDesktopSession::Kind::mutter) {
        return read_uint_property(bus.get(), kMutterRemoteDesktop, kMutterRemoteDesktopPath, kMutterRemoteDesktop,
                                  "SupportedDeviceTypes", types, why);
    }
    return read_uint_property(bus.get(), kPortalService, kPortalPath, kPortalRemoteDesktop, "AvailableDeviceTypes",
                              types, why);
}
