#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/remote_desktop/bus.h"
#include "platform/unique_fd.h"

// A remote-desktop session of the desktop, on the session bus: a screen cast
// of one monitor with the pointer drawn in, given as a PipeWire stream, and
// the Notify* calls that post input into the same session. mutter offers it
// directly, with no dialog; the desktop portal asks the user first.
//
// Set up on the calling thread; from then on a thread of the session's own
// reads the bus, and the Notify* calls may come from any thread, one at a
// time, in order.
class RemoteDesktopSession {
public:
    enum class Kind { mutter, portal };

    // Why a session could not be had.
    enum class Failure { none, unreachable, refused };

    ~RemoteDesktopSession();
    RemoteDesktopSession(const RemoteDesktopSession&) = delete;
    RemoteDesktopSession& operator=(const RemoteDesktopSession&) = delete;

    // The screen cast's PipeWire node, and the connection to reach it by:
    // the portal's own; invalid for the user's PipeWire daemon.
    uint32_t node() const { return node_; }
    UniqueFd take_pipewire_remote() { return std::move(pipewireRemote_); }
    // The monitor's size in stream pixels, when the desktop said it.
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    bool has_keyboard_and_pointer() const { return keyboardAndPointer_; }

    // Input, in stream pixels, evdev buttons and keysyms.
    void pointer_motion(double x, double y);
    void pointer_motion_relative(double dx, double dy);
    void pointer_button(int32_t evdevButton, bool pressed);
    void scroll_steps(int32_t steps);  // vertical; positive scrolls down
    void keysym(uint32_t keysym, bool pressed);
    // Returns once the desktop has answered every call made so far, or it
    // has gone, or a few seconds have passed.
    void settle();
    // Ends the session: its closing is then no failure.
    void stop();

private:
    friend std::unique_ptr<RemoteDesktopSession> open_mutter_session(std::string*, RemoteDesktopSession::Failure*);
    friend std::unique_ptr<RemoteDesktopSession> open_portal_session(std::string*, RemoteDesktopSession::Failure*);

    RemoteDesktopSession(Kind kind, BusPtr bus);
    // Watches for the session's end and starts the thread that reads the bus.
    bool run(const char* closedInterface, const char* closedPath, std::string* why);
    void read_bus();
    // A Notify* call of either dialect, to be completed by the caller, who holds lock_.
    sd_bus_message* new_notify(const char* member);
    // Sends it, its reply only counted, once fewer than a few calls are in flight.
    void send(std::unique_lock<std::mutex>& guard, sd_bus_message* call);
    void wake();
    static int on_reply(sd_bus_message* reply, void* self, sd_bus_error*);
    // The session or its service gone while we did not ask for it to stop.
    void lost(const char* line);
    static int on_closed(sd_bus_message*, void* self, sd_bus_error*);
    static int on_owner_changed(sd_bus_message* message, void* self, sd_bus_error*);

    const Kind kind_;
    BusPtr bus_;
    SlotPtr closedWatch_, ownerWatch_;

    // Filled by the set-up.
    std::string sessionPath_;  // mutter: the RemoteDesktop session; portal: the session handle
    std::string streamPath_;   // mutter: the screen cast stream
    std::string screenCastPath_;  // mutter: the screen cast session
    uint32_t node_ = 0;
    UniqueFd pipewireRemote_;
    uint32_t width_ = 0, height_ = 0;
    bool keyboardAndPointer_ = false;

    std::mutex lock_;  // the bus, and what follows
    std::condition_variable answered_;
    size_t pending_ = 0;  // calls not yet answered
    bool stopping_ = false;
    bool quit_ = false;
    bool warned_ = false;  // a refused call has been reported
    UniqueFd wakeFd_;
    std::thread thread_;
};

// Sets up a session through mutter's org.gnome.Mutter.RemoteDesktop and
// org.gnome.Mutter.ScreenCast and starts it. Null with `why` and `failure`
// set when it cannot be had.
std::unique_ptr<RemoteDesktopSession> open_mutter_session(std::string* why, RemoteDesktopSession::Failure* failure);

// The same through the desktop portal's RemoteDesktop and ScreenCast, which
// may show the user a dialog first.
std::unique_ptr<RemoteDesktopSession> open_portal_session(std::string* why, RemoteDesktopSession::Failure* failure);

// The device types (1 keyboard, 2 pointer, 4 touchscreen) the session bus
// offers remote control of, without starting anything; false with `why`
// when the interface is not there.
bool remote_desktop_device_types(RemoteDesktopSession::Kind kind, uint32_t* types, std::string* why);

constexpr uint32_t kKeyboardDevice = 1, kPointerDevice = 2;
