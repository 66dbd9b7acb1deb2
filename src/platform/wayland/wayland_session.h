#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/display_choice.h"

struct zwlr_screencopy_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwp_virtual_keyboard_manager_v1;

// One connection to the compositor named by WAYLAND_DISPLAY, with the
// globals the helper uses bound and the outputs' layout known. Capture and
// input each open their own, so that neither waits on the other's thread.
struct WaylandSession {
    struct Output {
        wl_output* output = nullptr;
        DisplayInfo info;  // id: the output's global name; position in the layout
    };

    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    wl_seat* seat = nullptr;
    uint32_t seatCapabilities = 0;  // WL_SEAT_CAPABILITY_* bits, as the compositor last announced them
    zwlr_screencopy_manager_v1* screencopy = nullptr;
    uint32_t screencopyVersion = 0;
    zwlr_virtual_pointer_manager_v1* virtualPointers = nullptr;
    uint32_t virtualPointerVersion = 0;
    zwp_virtual_keyboard_manager_v1* virtualKeyboards = nullptr;
    std::vector<Output> outputs;

    // While connecting only: the globals are still being listed.
    bool settled = false;
    struct zxdg_output_manager_v1* xdgOutputs = nullptr;

    WaylandSession() = default;
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;
    ~WaylandSession();

    // The output to share and operate: the one at the layout's origin, else
    // the first listed; null when there is none.
    const Output* main_output() const;
};

// Connects and learns the globals and outputs. Null, with `why` set, when
// there is no compositor to talk to.
std::unique_ptr<WaylandSession> open_wayland_session(std::string* why);

// One turn of a connection's event loop, in the order libwayland asks of a
// thread that reads: handles what has arrived, sends what is queued
// (`flush` false: the connection is lost), waits up to `timeoutMs` (-1: as
// long as it takes) for more or for `wakeFd` to be readable, and handles
// what came. False once the connection is lost.
bool pump_connection(wl_display* display, int timeoutMs, const std::function<bool()>& flush, int wakeFd = -1);
