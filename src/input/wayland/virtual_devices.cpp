#include "input/wayland/virtual_devices.h"

#include <poll.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstdio>

#include "input/xkb_keymap.h"
#include "platform/clock.h"
#include "platform/unique_fd.h"
#include "platform/write_all.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {

// How long a compositor that reads nothing may hold up one event, and the end.
constexpr uint64_t kSendWaitNs = 1'000'000'000;
constexpr uint64_t kSettleWaitNs = 3'000'000'000;
// How long clients get to take up a keyboard or pointer that the seat gains
// with ours: the compositor sends a key only to the focused client's own
// wl_keyboard, which the client asks for once it has read the seat's news, a
// few milliseconds later for GTK and foot. A key sent sooner reaches nobody,
// and nothing tells us when the client has asked.
constexpr uint64_t kClientsCatchUpNs = 250'000'000;

int remaining_ms(uint64_t deadlineNs) {
    const uint64_t now = monotonic_now_ns();
    return now >= deadlineNs ? 0 : static_cast<int>((deadlineNs - now + 999'999) / 1'000'000);
}

}  // namespace

std::unique_ptr<VirtualDevices> VirtualDevices::open() {
    std::string why;
    auto session = open_wayland_session(&why);
    if (!session) {
        fprintf(stderr, "[ctrl] ERROR: cannot connect to the Wayland compositor for input: %s\n", why.c_str());
        return nullptr;
    }
    if (!session->seat || !session->virtualPointers || !session->virtualKeyboards) {
        fputs("[ctrl] ERROR: the Wayland compositor offers no virtual pointer and keyboard\n", stderr);
        return nullptr;
    }
    constexpr uint32_t kBoth = WL_SEAT_CAPABILITY_POINTER | WL_SEAT_CAPABILITY_KEYBOARD;
    const bool newToSeat = (session->seatCapabilities & kBoth) != kBoth;
    std::unique_ptr<VirtualDevices> d(new VirtualDevices);
    d->output_ = session->main_output();
    if (!d->output_) {
        fputs("[ctrl] ERROR: the Wayland compositor lists no output to operate\n", stderr);
        return nullptr;
    }
    if (session->virtualPointerVersion >= 2) {
        d->pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer_with_output(
            session->virtualPointers, session->seat, d->output_->output);
    } else {
        // Older compositors spread absolute motion over the whole layout,
        // which is the shared output only when it is the one output.
        fputs("[ctrl] WARNING: the compositor's virtual pointer cannot be bound to the shared output\n", stderr);
        d->pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(session->virtualPointers, session->seat);
    }
    d->keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(session->virtualKeyboards, session->seat);
    d->session_ = std::move(session);
    // A key sent before the keymap is a protocol error that ends the connection.
    const bool sent = d->send_keymap(xkb_keymap_text({}));
    if (sent) d->settle();  // then the compositor has told its clients of the devices
    if (!sent || !d->exchange(0)) {
        fputs("[ctrl] ERROR: the Wayland compositor refused the virtual keyboard\n", stderr);
        return nullptr;
    }
    if (newToSeat) d->clientsReadyNs_ = monotonic_now_ns() + kClientsCatchUpNs;
    return d;
}

VirtualDevices::~VirtualDevices() {
    if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
    if (keyboard_) zwp_virtual_keyboard_v1_destroy(keyboard_);
}

bool VirtualDevices::send_keymap(const std::string& text) {
    const UniqueFd fd(memfd_create("screenshare-keymap", MFD_CLOEXEC));
    // The compositor reads the text as a C string: the size counts its NUL.
    if (!fd.valid() || !write_all(fd.get(), text.c_str(), text.size() + 1)) return false;
    // The request carries a copy of the descriptor; ours closes here.
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd.get(),
                                   static_cast<uint32_t>(text.size() + 1));
    return true;
}

// Waits out a full socket for a while rather than losing the connection, as
// libwayland does once its own buffer fills too; after one such wait comes to
// nothing, events are no longer held up for a compositor that reads nothing.
VirtualDevices::Sent VirtualDevices::flush() {
    wl_display* display = session_->display;
    const uint64_t deadline = monotonic_now_ns() + (stalled_ ? 0 : kSendWaitNs);
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN) return Sent::Failed;
        stalled_ = remaining_ms(deadline) == 0;
        if (stalled_) return Sent::Stalled;
        pollfd p{wl_display_get_fd(display), POLLOUT, 0};
        poll(&p, 1, remaining_ms(deadline));
    }
    stalled_ = false;
    return Sent::All;
}

bool VirtualDevices::exchange(int waitMs) {
    if (wl_display_get_error(session_->display)) return false;
    return pump_connection(session_->display, waitMs, [this] { return flush() != Sent::Failed; });
}

void VirtualDevices::settle() {
    static const wl_callback_listener kDone = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    if (wl_display_get_error(session_->display)) return;
    bool done = false;
    wl_callback* sync = wl_display_sync(session_->display);
    if (!sync) return;
    wl_callback_add_listener(sync, &kDone, &done);
    const uint64_t deadline = monotonic_now_ns() + kSettleWaitNs;
    while (!done && remaining_ms(deadline) > 0 && exchange(remaining_ms(deadline))) {
    }
    wl_callback_destroy(sync);
}

void VirtualDevices::await_clients() {
    while (remaining_ms(clientsReadyNs_) > 0 && exchange(remaining_ms(clientsReadyNs_))) {
    }
    clientsReadyNs_ = 0;
}
