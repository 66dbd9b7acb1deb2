// The common half of a remote-desktop session: the thread that reads the
// bus, the Notify* calls in either dialect, and the session's end.

#include "platform/remote_desktop/remote_desktop_session.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/failure_exit.h"
#include "platform/remote_desktop/service_names.h"

namespace {

constexpr const char* kSessionClosedLine = "[capture] ERROR: the desktop closed the remote-desktop session\n";
constexpr const char* kServiceGoneLine = "[capture] ERROR: the remote-desktop service left the session bus\n";
constexpr const char* kBusLostLine = "[capture] ERROR: lost the connection to the session bus\n";
constexpr auto kSettleTimeout = std::chrono::seconds(3);
// Calls in flight at most: a bus limits the replies one connection may be
// owed, and a burst of typing must wait for the desktop rather than fail.
constexpr size_t kMaxPending = 64;
constexpr uint32_t kVerticalAxis = 0;

}  // namespace

RemoteDesktopSession::RemoteDesktopSession(Kind kind, BusPtr bus)
    : kind_(kind), bus_(std::move(bus)), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RemoteDesktopSession::~RemoteDesktopSession() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    wake();
    if (thread_.joinable()) thread_.join();
}

bool RemoteDesktopSession::run(const char* closedInterface, const char* closedPath, std::string* why) {
    const char* service = kind_ == Kind::mutter ? kMutterRemoteDesktop : kPortalService;
    sd_bus_slot* closed = nullptr;
    sd_bus_slot* owner = nullptr;
    int r = sd_bus_match_signal(bus_.get(), &closed, service, closedPath, closedInterface, "Closed", on_closed, this);
    if (r >= 0) {
        r = sd_bus_match_signal(bus_.get(), &owner, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "NameOwnerChanged", on_owner_changed, this);
    }
    closedWatch_.reset(closed);
    ownerWatch_.reset(owner);
    if (r < 0 || !wakeFd_.valid()) {
        *why = std::string("cannot watch the session: ") + strerror(r < 0 ? -r : errno);
        return false;
    }
    thread_ = std::thread(&RemoteDesktopSession::read_bus, this);
    return true;
}

// The session's thread: handles what the bus brings (replies, the session's
// end) and sends what the Notify* calls queued, until the object goes.
void RemoteDesktopSession::read_bus() {
    std::unique_lock<std::mutex> guard(lock_);
    while (!quit_) {
        int r;
        while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
        }
        if (r < 0) {
            pending_ = 0;
            answered_.notify_all();
            if (stopping_) return;
            lost(kBusLostLine);
        }
        pollfd fds[2] = {{sd_bus_get_fd(bus_.get()), static_cast<short>(sd_bus_get_events(bus_.get())), 0},
                         {wakeFd_.get(), POLLIN, 0}};
        uint64_t until = 0;
        int timeoutMs = -1;
        if (sd_bus_get_timeout(bus_.get(), &until) > 0 && until != UINT64_MAX) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            const uint64_t nowUs = uint64_t(now.tv_sec) * 1'000'000 + uint64_t(now.tv_nsec) / 1000;
            timeoutMs = until > nowUs ? static_cast<int>(std::min<uint64_t>((until - nowUs + 999) / 1000, 60'000)) : 0;
        }
        guard.unlock();
        poll(fds, 2, timeoutMs);
        uint64_t count;
        if (read(wakeFd_.get(), &count, sizeof count) < 0) {
            // Nothing was signalled.
        }
        guard.lock();
    }
}

void RemoteDesktopSession::wake() {
    const uint64_t one = 1;
    if (write(wakeFd_.get(), &one, sizeof one) < 0) {
        // Already signalled: the thread wakes all the same.
    }
}

sd_bus_message* RemoteDesktopSession::new_notify(const char* member) {
    sd_bus_message* call = nullptr;
    int r;
    if (kind_ == Kind::mutter) {
        r = sd_bus_message_new_method_call(bus_.get(), &call, kMutterRemoteDesktop, sessionPath_.c_str(),
                                           kMutterRemoteDesktopSession, member);
    } else {
        r = sd_bus_message_new_method_call(bus_.get(), &call, kPortalService, kPortalPath, kPortalRemoteDesktop,
                                           member);
        if (r >= 0) r = sd_bus_message_append(call, "oa{sv}", sessionPath_.c_str(), 0);
    }
    return r >= 0 ? call : (sd_bus_message_unref(call), nullptr);
}

void RemoteDesktopSession::send(std::unique_lock<std::mutex>& guard, sd_bus_message* call) {
    MessagePtr owned(call);
    if (!call || stopping_) return;
    answered_.wait_for(guard, kSettleTimeout, [this] { return pending_ < kMaxPending || stopping_; });
    if (sd_bus_call_async(bus_.get(), nullptr, call, on_reply, this, 0) >= 0) ++pending_;
    wake();
}

int RemoteDesktopSession::on_reply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* s = static_cast<RemoteDesktopSession*>(self);
    if (sd_bus_message_is_method_error(reply, nullptr) && !s->warned_ && !s->stopping_) {
        const sd_bus_error* e = sd_bus_message_get_error(reply);
        fprintf(stderr, "[ctrl] WARNING: the desktop refused an input event: %s\n",
                e && e->message ? e->message : "no reason given");
        s->warned_ = true;
    }
    if (s->pending_ > 0) --s->pending_;
    s->answered_.notify_all();
    return 0;
}

// Once the session has gone, so has the capture: its stream ends with it.
void RemoteDesktopSession::lost(const char* line) {
    if (!stopping_) capture_lost(line);
}

int RemoteDesktopSession::on_closed(sd_bus_message*, void* self, sd_bus_error*) {
    static_cast<RemoteDesktopSession*>(self)->lost(kSessionClosedLine);
    return 0;
}

int RemoteDesktopSession::on_owner_changed(sd_bus_message* message, void* self, sd_bus_error*) {
    auto* s = static_cast<RemoteDesktopSession*>(self);
    const char *name = nullptr, *before = nullptr, *after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) < 0) return 0;
    const char* service = s->kind_ == Kind::mutter ? kMutterRemoteDesktop : kPortalService;
    if (strcmp(name, service) == 0 && !*after) s->lost(kServiceGoneLine);
    return 0;
}

void RemoteDesktopSession::pointer_motion(double x, double y) {
    std::unique_lock<std::mutex> guard(lock_);
    // Mutter takes a point of its stream's monitor, but not the last column or row.
    if (width_ && height_) {
        x = std::clamp(x, 0.0, width_ - 1.0);
        y = std::clamp(y, 0.0, height_ - 1.0);
    }
    sd_bus_message* call = new_notify("NotifyPointerMotionAbsolute");
    const int r = !call ? -1
                  : kind_ == Kind::mutter ? sd_bus_message_append(call, "sdd", streamPath_.c_str(), x, y)
                                          : sd_bus_message_append(call, "udd", node_, x, y);
    send(guard, r >= 0 ? call : (sd_bus_message_unref(call), nullptr));
}

void RemoteDesktopSession::pointer_motion_relative(double dx, double dy) {
    std::unique_lock<std::mutex> guard(lock_);
    sd_bus_message* call = new_notify(kind_ == Kind::mutter ? "NotifyPointerMotionRelative" : "NotifyPointerMotion");
    const int r = call ? sd_bus_message_append(call, "dd", dx, dy) : -1;
    send(guard, r >= 0 ? call : (sd_bus_message_unref(call), nullptr));
}

void RemoteDesktopSession::pointer_button(int32_t evdevButton, bool pressed) {
    std::unique_lock<std::mutex> guard(lock_);
    sd_bus_message* call = new_notify("NotifyPointerButton");
    const int r = !call ? -1
                  : kind_ == Kind::mutter ? sd_bus_message_append(call, "ib", evdevButton, int(pressed))
                                          : sd_bus_message_append(call, "iu", evdevButton, uint32_t(pressed));
    send(guard, r >= 0 ? call : (sd_bus_message_unref(call), nullptr));
}

void RemoteDesktopSession::scroll_steps(int32_t steps) {
    std::unique_lock<std::mutex> guard(lock_);
    sd_bus_message* call = new_notify("NotifyPointerAxisDiscrete");
    const int r = call ? sd_bus_message_append(call, "ui", kVerticalAxis, steps) : -1;
    send(guard, r >= 0 ? call : (sd_bus_message_unref(call), nullptr));
}

void RemoteDesktopSession::keysym(uint32_t keysym, bool pressed) {
    std::unique_lock<std::mutex> guard(lock_);
    sd_bus_message* call = new_notify("NotifyKeyboardKeysym");
    const int r = !call ? -1
                  : kind_ == Kind::mutter ? sd_bus_message_append(call, "ub", keysym, int(pressed))
                                          : sd_bus_message_append(call, "iu", int32_t(keysym), uint32_t(pressed));
    send(guard, r >= 0 ? call : (sd_bus_message_unref(call), nullptr));
}

void RemoteDesktopSession::settle() {
    std::unique_lock<std::mutex> guard(lock_);
    answered_.wait_for(guard, kSettleTimeout, [this] { return pending_ == 0; });
}

void RemoteDesktopSession::stop() {
    std::unique_lock<std::mutex> guard(lock_);
    if (stopping_) return;
    // The desktop says the session closed once it has stopped it: expected now.
    stopping_ = true;
    sd_bus_message* call = nullptr;
    const int r = kind_ == Kind::mutter
                      ? sd_bus_message_new_method_call(bus_.get(), &call, kMutterRemoteDesktop, sessionPath_.c_str(),
                                                       kMutterRemoteDesktopSession, "Stop")
                      : sd_bus_message_new_method_call(bus_.get(), &call, kPortalService, sessionPath_.c_str(),
                                                       kPortalSession, "Close");
    MessagePtr owned(call);
    if (r >= 0 && sd_bus_call_async(bus_.get(), nullptr, call, on_reply, this, 0) >= 0) ++pending_;
    wake();
    answered_.wait_for(guard, kSettleTimeout, [this] { return pending_ == 0; });
}
