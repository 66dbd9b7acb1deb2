#pragma once

#include <memory>
#include <string>

#include "capture/wayland/wayland_session.h"

struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_v1;

// The input side's own connection to the compositor (capture keeps its own),
// with a virtual pointer and keyboard on its seat: opened on first use, kept
// for the whole run.
struct VirtualDevices {
    std::unique_ptr<WaylandSession> session;
    const WaylandSession::Output* output = nullptr;  // the one capture shares; never null
    zwlr_virtual_pointer_v1* pointer = nullptr;
    zwp_virtual_keyboard_v1* keyboard = nullptr;  // has its keymap from the start

    VirtualDevices() = default;
    VirtualDevices(const VirtualDevices&) = delete;
    VirtualDevices& operator=(const VirtualDevices&) = delete;
    ~VirtualDevices();
};

// Nullptr when the compositor offers no virtual pointer and keyboard.
VirtualDevices* virtual_devices();

// Hands the keyboard a keymap in XKB text. False when it could not be sent.
bool send_keymap(const VirtualDevices& devices, const std::string& text);

// Sends what is queued and reads what has come, waiting up to `waitMs` for
// it. False once the compositor is gone: from then on nothing reaches it.
bool exchange_with_compositor(const VirtualDevices& devices, int waitMs);

// Returns once the compositor has handled every request sent so far, or has
// gone, or a few seconds have passed: a stalled compositor must not hold up
// the end of the process.
void settle_with_compositor(const VirtualDevices& devices);
