#include "platform/wayland/wayland_session.h"

#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace {

// Newest versions whose requests and events this program knows.
constexpr uint32_t kScreencopyVersion = 2;
constexpr uint32_t kVirtualPointerVersion = 2;
constexpr uint32_t kOutputVersion = 2;

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t known) {
    return static_cast<T*>(wl_registry_bind(registry, name, interface, offered < known ? offered : known));
}

void on_capabilities(void* data, wl_seat*, uint32_t capabilities) {
    static_cast<WaylandSession*>(data)->seatCapabilities = capabilities;
}
void on_seat_name(void*, wl_seat*, const char*) {}
const wl_seat_listener kSeatListener = {on_capabilities, on_seat_name};

void on_global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto* s = static_cast<WaylandSession*>(data);
    // Outputs that come later are not ours to share: the choice is made once.
    if (s->settled) return;
    const auto is = [interface](const wl_interface& i) { return strcmp(interface, i.name) == 0; };
    if (is(wl_shm_interface)) {
        s->shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (is(wl_seat_interface) && !s->seat) {
        s->seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 1);
        wl_seat_add_listener(s->seat, &kSeatListener, s);
    } else if (is(wl_output_interface)) {
        WaylandSession::Output out;
        out.output = bind<wl_output>(registry, name, &wl_output_interface, version, kOutputVersion);
        out.info.id = name;
        s->outputs.push_back(out);
    } else if (is(zwlr_screencopy_manager_v1_interface)) {
        s->screencopyVersion = version < kScreencopyVersion ? version : kScreencopyVersion;
        s->screencopy = bind<zwlr_screencopy_manager_v1>(registry, name, &zwlr_screencopy_manager_v1_interface,
                                                         version, kScreencopyVersion);
    } else if (is(zwlr_virtual_pointer_manager_v1_interface)) {
        s->virtualPointerVersion = version < kVirtualPointerVersion ? version : kVirtualPointerVersion;
        s->virtualPointers = bind<zwlr_virtual_pointer_manager_v1>(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, version, kVirtualPointerVersion);
    } else if (is(zwp_virtual_keyboard_manager_v1_interface)) {
        s->virtualKeyboards = bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    } else if (is(zxdg_output_manager_v1_interface)) {
        s->xdgOutputs = bind<zxdg_output_manager_v1>(registry, name, &zxdg_output_manager_v1_interface, version, 1);
    }
}

void on_global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {on_global, on_global_remove};

// The output's size in pixels is its current mode.
void on_mode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* info = static_cast<DisplayInfo*>(data);
    if (!(flags & WL_OUTPUT_MODE_CURRENT) || width <= 0 || height <= 0) return;
    info->width = static_cast<uint32_t>(width);
    info->height = static_cast<uint32_t>(height);
}
void on_geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*, int32_t) {}
void on_done(void*, wl_output*) {}
void on_scale(void*, wl_output*, int32_t) {}
void on_output_name(void*, wl_output*, const char*) {}
const wl_output_listener kOutputListener = {on_geometry, on_mode, on_done, on_scale, on_output_name, on_output_name};

// Where the output sits in the layout: only xdg-output says so; wl_output's
// own position is left at 0 by wlroots.
void on_logical_position(void* data, zxdg_output_v1*, int32_t x, int32_t y) {
    auto* info = static_cast<DisplayInfo*>(data);
    info->x = x;
    info->y = y;
}
void on_logical_size(void*, zxdg_output_v1*, int32_t, int32_t) {}
void on_xdg_done(void*, zxdg_output_v1*) {}
void on_name(void*, zxdg_output_v1*, const char*) {}
void on_description(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener kXdgOutputListener = {on_logical_position, on_logical_size, on_xdg_done, on_name,
                                                    on_description};

}  // namespace

// The compositor frees its side of every object with the connection; ours
// are freed one by one.
WaylandSession::~WaylandSession() {
    for (Output& o : outputs) wl_output_destroy(o.output);
    if (shm) wl_shm_destroy(shm);
    if (seat) wl_seat_destroy(seat);
    if (screencopy) zwlr_screencopy_manager_v1_destroy(screencopy);
    if (virtualPointers) zwlr_virtual_pointer_manager_v1_destroy(virtualPointers);
    if (virtualKeyboards) zwp_virtual_keyboard_manager_v1_destroy(virtualKeyboards);
    if (xdgOutputs) zxdg_output_manager_v1_destroy(xdgOutputs);
    if (registry) wl_registry_destroy(registry);
    if (display) wl_display_disconnect(display);
}

const WaylandSession::Output* WaylandSession::main_output() const {
    std::vector<DisplayInfo> offered;
    uint32_t mainId = 0;
    for (const Output& o : outputs) {
        offered.push_back(o.info);
        if (o.info.x == 0 && o.info.y == 0 && !mainId) mainId = o.info.id;
    }
    const auto chosen = choose_display(offered, mainId);
    for (const Output& o : outputs) {
        if (chosen && o.info.id == chosen->id) return &o;
    }
    return nullptr;
}

std::unique_ptr<WaylandSession> open_wayland_session(std::string* why) {
    const char* name = getenv("WAYLAND_DISPLAY");
    auto s = std::make_unique<WaylandSession>();
    s->display = wl_display_connect(nullptr);
    if (!s->display) {
        *why = std::string("cannot connect to the Wayland compositor \"") + (name ? name : "") + "\": " + strerror(errno);
        return nullptr;
    }
    s->registry = wl_display_get_registry(s->display);
    wl_registry_add_listener(s->registry, &kRegistryListener, s.get());
    if (wl_display_roundtrip(s->display) < 0) {
        *why = "the Wayland compositor closed the connection";
        return nullptr;
    }
    s->settled = true;
    std::vector<zxdg_output_v1*> xdgOutputs;
    for (WaylandSession::Output& o : s->outputs) {
        wl_output_add_listener(o.output, &kOutputListener, &o.info);
        if (!s->xdgOutputs) continue;
        xdgOutputs.push_back(zxdg_output_manager_v1_get_xdg_output(s->xdgOutputs, o.output));
        zxdg_output_v1_add_listener(xdgOutputs.back(), &kXdgOutputListener, &o.info);
    }
    if (wl_display_roundtrip(s->display) < 0) {
        *why = "the Wayland compositor closed the connection";
        return nullptr;
    }
    for (zxdg_output_v1* x : xdgOutputs) zxdg_output_v1_destroy(x);
    if (s->xdgOutputs) zxdg_output_manager_v1_destroy(s->xdgOutputs);
    s->xdgOutputs = nullptr;
    return s;
}

bool pump_connection(wl_display* display, int timeoutMs, const std::function<bool()>& flush, int wakeFd) {
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0) return false;
    }
    // After the handlers have run: what they asked for must go out before we wait.
    if (!flush()) {
        wl_display_cancel_read(display);
        return false;
    }
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    if (poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs) > 0 && fds[0].revents) {
        if (wl_display_read_events(display) < 0) return false;
    } else {
        wl_display_cancel_read(display);
    }
    return wl_display_dispatch_pending(display) >= 0;
}
