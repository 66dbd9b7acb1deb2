#pragma once

#include <memory>
#include <string>

#include "platform/wayland/wayland_session.h"

struct zwlr_virtual_pointer_v1;
struct zwp_virtual_keyboard_v1;

// The input side's own connection to the compositor (capture keeps its own),
// with a virtual pointer and keyboard on its seat.
class VirtualDevices {
public:
    // Null, with the lines saying why written, when the compositor offers no
    // virtual pointer and keyboard.
    static std::unique_ptr<VirtualDevices> open();
    ~VirtualDevices();
    VirtualDevices(const VirtualDevices&) = delete;
    VirtualDevices& operator=(const VirtualDevices&) = delete;

    zwlr_virtual_pointer_v1* pointer() const { return pointer_; }
    zwp_virtual_keyboard_v1* keyboard() const { return keyboard_; }  // has its keymap from the start
    const DisplayInfo& output() const { return output_->info; }  // the one capture shares

    // Hands the keyboard a keymap in XKB text. False when it could not be sent.
    bool send_keymap(const std::string& text);

    // Sends what is queued and reads what has come, waiting up to `waitMs` for
    // it. False once the compositor is gone: from then on nothing reaches it.
    bool exchange(int waitMs);

    // Returns once the compositor has handled every request sent so far, or
    // has gone, or a few seconds have passed: a stalled compositor must not
    // hold up the end of the process.
    void settle();

    // Returns once clients have had time to take up our devices, when these
    // gave the seat a keyboard or pointer it lacked; at once ever after.
    void await_clients();

private:
    VirtualDevices() = default;
    enum class Sent { All, Stalled, Failed };
    Sent flush();

    std::unique_ptr<WaylandSession> session_;
    const WaylandSession::Output* output_ = nullptr;  // never null once open
    zwlr_virtual_pointer_v1* pointer_ = nullptr;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
    bool stalled_ = false;  // the last flush found the compositor reading nothing
    uint64_t clientsReadyNs_ = 0;  // monotonic; 0 once waited for, or if there was nothing to wait for
};
