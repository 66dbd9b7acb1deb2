#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include "app/linux/linux_backend.h"
#include "capture/capture_config.h"
#include "capture/pipewire/pipewire_capture.h"
#include "input/remote_desktop/remote_desktop_input.h"
#include "platform/remote_desktop/remote_desktop_session.h"

namespace {

using Kind = RemoteDesktopSession::Kind;

bool offers_keyboard_and_pointer(Kind kind) {
    uint32_t types = 0;
    std::string why;
    return remote_desktop_device_types(kind, &types, &why) &&
           (types & (kKeyboardDevice | kPointerDevice)) == (kKeyboardDevice | kPointerDevice);
}

// Capture and input through one remote-desktop session of the desktop: its
// screen cast is streamed from PipeWire, input goes to its Notify* calls.
// The session is set up when the capture starts.
class RemoteDesktopBackend final : public LinuxBackend {
public:
    explicit RemoteDesktopBackend(Kind kind) : kind_(kind) {}

    void* start_capture() override {
        std::string why;
        RemoteDesktopSession::Failure failure;
        auto session = kind_ == Kind::mutter ? open_mutter_session(&why, &failure) : open_portal_session(&why, &failure);
        if (!session) {
            const bool refused = failure == RemoteDesktopSession::Failure::refused;
            report_capture_failure(refused ? kStartFailedLine : kShareableContentFailedLine, why);
            return nullptr;
        }
        if (session->width()) fprintf(stderr, kDisplayLine, session->width(), session->height(), session->node());
        auto* stream = pipewire::start_capture_stream(session->take_pipewire_remote(), session->node());
        if (!stream) return nullptr;
        // Written before the control thread starts, read by it afterwards.
        session_ = std::move(session);
        return stream;
    }
    void stop_capture(void* stream, std::function<void(const char*)> done) override {
        pipewire::stop_capture_stream(static_cast<pipewire::CaptureStream*>(stream),
                                      [this, done = std::move(done)](const char* error) {
                                          session_->stop();
                                          done(error);
                                      });
    }
    void post_event(const InputEvent& event) override { input().post(event); }
    void settle_posted_events() override { input().settle(); }
    // Before any session (the permission query), what the desktop offers.
    bool input_permitted() override { return session_ ? input().permitted() : offers_keyboard_and_pointer(kind_); }

private:
    remote_desktop::RemoteDesktopInput& input() {
        std::call_once(inputMade_, [this] { input_ = std::make_unique<remote_desktop::RemoteDesktopInput>(session_.get()); });
        return *input_;
    }

    const Kind kind_;
    std::unique_ptr<RemoteDesktopSession> session_;
    std::once_flag inputMade_;
    std::unique_ptr<remote_desktop::RemoteDesktopInput> input_;
};

}  // namespace

// GNOME and KDE on Wayland: the portal, when the session bus offers its RemoteDesktop.
const LinuxBackendEntry kPortalBackend = {
    "portal",
    [] {
        const char* display = getenv("WAYLAND_DISPLAY");
        uint32_t types = 0;
        std::string why;
        return display && *display && remote_desktop_device_types(Kind::portal, &types, &why);
    },
    []() -> std::unique_ptr<LinuxBackend> { return std::make_unique<RemoteDesktopBackend>(Kind::portal); },
};

// GNOME's own interfaces skip the user's consent: only when asked for by name.
const LinuxBackendEntry kMutterBackend = {
    "mutter",
    [] { return false; },
    []() -> std::unique_ptr<LinuxBackend> { return std::make_unique<RemoteDesktopBackend>(Kind::mutter); },
};
