#include "input/wayland/virtual_devices.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "capture/write_all.h"
#include "input/pointer.h"
#include "input/wayland/xkb_keymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

// How long a compositor that reads nothing may hold up one event, and the end.
constexpr uint64_t kSendWaitNs = 1'000'000'000;
constexpr uint64_t kSettleWaitNs = 3'000'000'000;

std::once_flag g_openOnce;
std::unique_ptr<VirtualDevices> g_devices;
bool g_stalled = false;  // the last flush found the compositor reading nothing

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int remaining_ms(uint64_t deadlineNs) {
    const uint64_t now = monotonic_now_ns();
    return now >= deadlineNs ? 0 : static_cast<int>((deadlineNs - now + 999'999) / 1'000'000);
}

enum class Sent { All, Stalled, Failed };

// Waits out a full socket for a while rather than losing the connection, as
// libwayland does once its own buffer fills too; after one such wait comes to
// nothing, events are no longer held up for a compositor that reads nothing.
Sent flush(wl_display* display) {
    const uint64_t deadline = monotonic_now_ns() + (g_stalled ? 0 : kSendWaitNs);
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) return Sent::Failed;
        g_stalled = remaining_ms(deadline) == 0;
        if (g_stalled) return Sent::Stalled;
        pollfd p{wl_display_get_fd(display), POLLOUT, 0};
        poll(&p, 1, remaining_ms(deadline));
    }
    g_stalled = false;
    return Sent::All;
}

void open_devices() {
    std::string why;
    auto session = open_wayland_session(&why);
    if (!session) {
        fprintf(stderr, "[ctrl] ERROR: cannot connect to the Wayland compositor for input: %s\n", why.c_str());
        return;
    }
    if (!session->seat || !session->virtualPointers || !session->virtualKeyboards) {
        fputs("[ctrl] ERROR: the Wayland compositor offers no virtual pointer and keyboard\n", stderr);
        return;
    }
    auto d = std::make_unique<VirtualDevices>();
    d->output = session->main_output();
    if (!d->output) {
        fputs("[ctrl] ERROR: the Wayland compositor lists no output to operate\n", stderr);
        return;
    }
    if (session->virtualPointerVersion >= 2) {
        d->pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer_with_output(
            session->virtualPointers, session->seat, d->output->output);
    } else {
        // Older compositors spread absolute motion over the whole layout,
        // which is the shared output only when it is the one output.
        fputs("[ctrl] WARNING: the compositor's virtual pointer cannot be bound to the shared output\n", stderr);
        d->pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(session->virtualPointers, session->seat);
    }
    d->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(session->virtualKeyboards, session->seat);
    d->session = std::move(session);
    // A key sent before the keymap is a protocol error that ends the connection.
    if (!send_keymap(*d, xkb_keymap_text({})) || !exchange_with_compositor(*d, 0)) {
        fputs("[ctrl] ERROR: the Wayland compositor refused the virtual keyboard\n", stderr);
        return;
    }
    g_devices = std::move(d);
}

}  // namespace

VirtualDevices::~VirtualDevices() {
    if (pointer) zwlr_virtual_pointer_v1_destroy(pointer);
    if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
}

VirtualDevices* virtual_devices() {
    std::call_once(g_openOnce, open_devices);
    return g_devices.get();
}

bool send_keymap(const VirtualDevices& devices, const std::string& text) {
    const FileDescriptor fd(memfd_create("screenshare-keymap", MFD_CLOEXEC));
    // The compositor reads the text as a C string: the size counts its NUL.
    if (fd.get() < 0 || !write_all(fd.get(), text.c_str(), text.size() + 1)) return false;
    // The request carries a copy of the descriptor; ours closes here.
    zwp_virtual_keyboard_v1_keymap(devices.keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd.get(),
                                   static_cast<uint32_t>(text.size() + 1));
    return true;
}

bool exchange_with_compositor(const VirtualDevices& devices, int waitMs) {
    if (wl_display_get_error(devices.session->display)) return false;
    return pump_connection(devices.session->display, waitMs, [](wl_display* d) { return flush(d) != Sent::Failed; });
}

void settle_with_compositor(const VirtualDevices& devices) {
    static const wl_callback_listener kDone = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    if (wl_display_get_error(devices.session->display)) return;
    bool done = false;
    wl_callback* sync = wl_display_sync(devices.session->display);
    if (!sync) return;
    wl_callback_add_listener(sync, &kDone, &done);
    const uint64_t deadline = monotonic_now_ns() + kSettleWaitNs;
    while (!done && remaining_ms(deadline) > 0 && exchange_with_compositor(devices, remaining_ms(deadline))) {
    }
    wl_callback_destroy(sync);
}
