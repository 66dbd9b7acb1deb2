#include <cstdio>
#include <cstdlib>
#include <memory>
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
class RemoteDesktopBackend final : public Backend {
public:
    explicit RemoteDesktopBackend(Kind kind) : kind_(kind) {}

    bool start() override {
        std::string why;
        RemoteDesktopSession::Failure failure;
        auto session = kind_ == Kind::mutter ? open_mutter_session(&why, &failure) : open_portal_session(&why, &failure);
        if (!session) {
            const bool refused = failure == RemoteDesktopSession::Failure::refused;
            report_capture_failure(refused ? kStartFailedLine : kShareableContentFailedLine, why);
            return false;
        }
        if (session->width()) fprintf(stderr, kDisplayLine, session->width(), session->height(), session->node());
        capture_ = pipewire::start_capture(session->take_pipewire_remote(), session->node());
        if (!capture_) return false;
        // Written before the control thread starts, read by it afterwards.
        session_ = std::move(session);
        return true;
    }
    void stop(std::function<void(const char*)> done) override {
        if (!capture_) return done(nullptr);
        pipewire::stop_capture(capture_, [this, done = std::move(done)](const char* error) {
            session_->stop();
            done(error);
        });
    }
    void post(const PostedInput& input) override { input_->post(input.actions); }
    void settle() override { input_->settle(); }
    // No permission to prompt for; before any session (the permission
    // query), what the desktop offers.
    bool input_permitted(bool) override {
        return session_ ? input_->permitted() : offers_keyboard_and_pointer(kind_);
    }

private:
    const Kind kind_;
    std::unique_ptr<RemoteDesktopSession> session_;
    pipewire::Capture* capture_ = nullptr;
    InputMadeOnFirstUse<remote_desktop::RemoteDesktopInput> input_{
        [this] { return std::make_unique<remote_desktop::RemoteDesktopInput>(session_.get()); }};
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
    []() -> std::unique_ptr<Backend> { return std::make_unique<RemoteDesktopBackend>(Kind::portal); },
};

// GNOME's own interfaces skip the user's consent: only when asked for by name.
const LinuxBackendEntry kMutterBackend = {
    "mutter",
    [] { return false; },
    []() -> std::unique_ptr<Backend> { return std::make_unique<RemoteDesktopBackend>(Kind::mutter); },
};
