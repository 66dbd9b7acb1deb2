// The capture stream on an X server: a thread that, once per frame interval,
// reads what changed on the chosen monitor (DAMAGE on the root window; the
// whole monitor where damage cannot be trusted) through MIT-SHM, else
// GetImage, and edits the frame store: the new pixels, and the pointer drawn
// where it is now.

#include <xcb/damage.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "capture/capture_config.h"
#include "capture/capture_loop.h"
#include "capture/cursor_composite.h"
#include "capture/frame_region.h"
#include "capture/frame_store.h"
#include "capture/settings.h"
#include "capture/x11/shm_segment.h"
#include "capture/x11/x11_capture.h"
#include "capture/x11/x11_displays.h"
#include "platform/display_choice.h"
#include "platform/x11/x_connection.h"
#include "platform/x11/xcb_handles.h"

namespace x11 {
namespace {

constexpr const char* kConnectionLostLine = "[capture] ERROR: lost the connection to the X server\n";

}  // namespace

namespace {
GrabResult grab_once(Capture* s);
}  // namespace

struct Capture final : PictureSource {
    bool take_first_picture(std::string* why) override {
        const GrabResult result = grab_once(this);
        if (result == GrabResult::ok) return true;
        if (result != GrabResult::lost || lostLines) *why = "could not read the screen image";
        return false;
    }
    GrabResult grab() override { return grab_once(this); }
    const char* lost_lines() const override { return lostLines; }

    XcbConnection conn;
    xcb_window_t root = 0;
    DisplayInfo display;
    std::unique_ptr<ShmSegment> shm;  // null: GetImage
    bool drawCursor = false;  // XFixes is there

    // What changed: DAMAGE reports once when the root window's damage turns
    // non-empty; each read moves the damage into `damaged` and empties it.
    xcb_damage_damage_t damage = 0;  // 0: no DAMAGE
    xcb_xfixes_region_t damaged = 0;
    uint8_t damageEvents = 0;  // the extensions' first event codes
    uint8_t xfixesEvents = 0;
    bool damagePending = false;
    // A compositing manager draws windows off screen and the root's damage
    // then misses changes: it is watched through its selection.
    xcb_atom_t compositorSelection = XCB_NONE;
    bool compositor = false;
    bool wholeNext = true;  // the first picture, and one after a failed read

    // The pointer as last drawn.
    PointerOverlay pointer;
    int32_t pointerX = 0, pointerY = 0;
    uint32_t cursorSerial = 0;
    bool pointerDrawn = false;
    std::vector<PixelRect> damagedRects;

    const char* lostLines = nullptr;
    CaptureLoop loop{*this};
};

namespace {

bool grabs_whole_screen(const Capture* s) { return !s->damage || s->compositor; }

void report_mode(const Capture* s) {
    if (!s->damage) {
        fputs("[capture] the X server lacks DAMAGE or XFixes: reading the whole screen every tick\n", stderr);
    } else if (s->compositor) {
        fputs("[capture] a compositing manager runs: reading the whole screen every tick\n", stderr);
    } else {
        fputs("[capture] reading only what changed on the screen (DAMAGE)\n", stderr);
    }
}

// Takes note of what the server reported; every other event is dropped, or a
// long session piles them up.
void read_events(Capture* s) {
    const bool wasWhole = grabs_whole_screen(s);
    while (xcb_generic_event_t* event = xcb_poll_for_event(s->conn.get())) {
        const uint8_t type = event->response_type & 0x7f;
        if (s->damage && type == s->damageEvents + XCB_DAMAGE_NOTIFY) {
            s->damagePending = true;
        } else if (s->compositorSelection && type == s->xfixesEvents + XCB_XFIXES_SELECTION_NOTIFY) {
            const auto* e = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
            if (e->selection == s->compositorSelection) {
                s->compositor =
                    e->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && e->owner != XCB_NONE;
            }
        }
        free(event);
    }
    if (grabs_whole_screen(s) != wasWhole) {
        s->wholeNext = true;
        report_mode(s);
    }
}

// The frame areas that changed since the last read, at most kMaxCopyRects.
size_t damaged_areas(Capture* s, PixelRect* out) {
    xcb_connection_t* c = s->conn.get();
    const DisplayInfo& d = s->display;
    const PixelRect monitor{d.x, d.y, d.width, d.height};
    if (s->wholeNext || grabs_whole_screen(s)) {
        // Keeps the damage empty, so that a return to reading changes starts clean.
        if (s->damage) xcb_damage_subtract(c, s->damage, XCB_NONE, XCB_NONE);
        s->damagePending = false;
        out[0] = {0, 0, monitor.width, monitor.height};
        return 1;
    }
    if (!s->damagePending) return 0;
    s->damagePending = false;
    xcb_damage_subtract(c, s->damage, XCB_NONE, s->damaged);
    XcbReply<xcb_xfixes_fetch_region_reply_t> region(
        xcb_xfixes_fetch_region_reply(c, xcb_xfixes_fetch_region(c, s->damaged), nullptr));
    if (!region) {
        out[0] = {0, 0, monitor.width, monitor.height};
        return 1;
    }
    const xcb_rectangle_t* rects = xcb_xfixes_fetch_region_rectangles(region.get());
    const int count = xcb_xfixes_fetch_region_rectangles_length(region.get());
    s->damagedRects.clear();
    for (int i = 0; i < count; ++i) {
        s->damagedRects.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
    }
    return plan_grab(s->damagedRects.data(), s->damagedRects.size(), monitor, out, kMaxCopyRects);
}

// Reads of frame areas from the screen, requested together and taken
// together, so that they cost one round trip.
struct AreaReads {
    size_t n = 0;
    PixelRect areas[kMaxCopyRects];
    size_t offsets[kMaxCopyRects] = {};
    xcb_shm_get_image_cookie_t shm[kMaxCopyRects] = {};
    xcb_get_image_cookie_t plain[kMaxCopyRects] = {};
    XcbReply<xcb_get_image_reply_t> replies[kMaxCopyRects];
    const uint8_t* pixels[kMaxCopyRects] = {};  // area i, packed
};

void request_areas(Capture* s, AreaReads& r) {
    xcb_connection_t* c = s->conn.get();
    const DisplayInfo& d = s->display;
    size_t offset = 0;
    for (size_t i = 0; i < r.n; ++i) {
        const PixelRect& a = r.areas[i];
        const auto x = static_cast<int16_t>(d.x + a.x), y = static_cast<int16_t>(d.y + a.y);
        const auto w = static_cast<uint16_t>(a.width), h = static_cast<uint16_t>(a.height);
        r.offsets[i] = offset;
        offset += size_t{w} * h * 4;
        if (s->shm) {
            // The areas do not overlap and all lie in the monitor, so together they fit in the segment.
            r.shm[i] = xcb_shm_get_image(c, s->root, x, y, w, h, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, s->shm->id(),
                                         static_cast<uint32_t>(r.offsets[i]));
        } else {
            r.plain[i] = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, x, y, w, h, ~0u);
        }
    }
}

// False when the server refused one of the reads.
bool take_areas(Capture* s, AreaReads& r) {
    xcb_connection_t* c = s->conn.get();
    bool ok = true;
    for (size_t i = 0; i < r.n; ++i) {
        if (s->shm) {
            XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, r.shm[i], nullptr));
            ok = ok && reply;
            r.pixels[i] = s->shm->data() + r.offsets[i];
        } else {
            r.replies[i].reset(xcb_get_image_reply(c, r.plain[i], nullptr));
            const auto need = static_cast<size_t>(r.areas[i].width * r.areas[i].height * 4);
            ok = ok && r.replies[i] && static_cast<size_t>(xcb_get_image_data_length(r.replies[i].get())) >= need;
            r.pixels[i] = r.replies[i] ? xcb_get_image_data(r.replies[i].get()) : nullptr;
        }
    }
    return ok;
}

GrabResult connection_lost(Capture* s) {
    s->lostLines = kConnectionLostLine;
    return GrabResult::lost;
}

// Brings the frame store up to date with the screen and the pointer. A tick
// with nothing changed reads and stores nothing; the writer repeats the last
// frame.
GrabResult grab_once(Capture* s) {
    xcb_connection_t* c = s->conn.get();
    const DisplayInfo& d = s->display;
    const auto w = static_cast<uint32_t>(d.width), h = static_cast<uint32_t>(d.height);

    // Reading the whole screen needs no word from the server first: it goes
    // out with the pointer request.
    AreaReads reads;
    const bool whole = s->wholeNext || grabs_whole_screen(s);
    if (whole) {
        reads.n = damaged_areas(s, reads.areas);
        request_areas(s, reads);
    }
    // A round trip: every event the server sent before it is read with it.
    XcbReply<xcb_xfixes_get_cursor_image_reply_t> cursor;
    if (s->drawCursor) cursor.reset(xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    read_events(s);
    if (xcb_connection_has_error(c)) return connection_lost(s);
    if (!whole) {
        reads.n = damaged_areas(s, reads.areas);
        request_areas(s, reads);
    }

    const size_t n = reads.n;
    const PixelRect* areas = reads.areas;
    const bool pointerMoved = cursor ? !s->pointerDrawn || cursor->x != s->pointerX || cursor->y != s->pointerY ||
                                           cursor->cursor_serial != s->cursorSerial
                                     : s->pointerDrawn;
    if (n == 0 && !pointerMoved) return xcb_connection_has_error(c) ? connection_lost(s) : GrabResult::ok;

    const bool read = take_areas(s, reads);
    if (xcb_connection_has_error(c)) return connection_lost(s);
    if (!read) {
        // What was damaged is no longer in the damage: read it all next time.
        // A refused request (the screen shrank under the monitor, say) only
        // costs this tick.
        s->wholeNext = true;
        return GrabResult::skipped;
    }
    if (!size_frame_store(w, h)) return GrabResult::lost;  // its lines are written

    const int64_t left = cursor ? int64_t{cursor->x} - cursor->xhot - d.x : 0;
    const int64_t top = cursor ? int64_t{cursor->y} - cursor->yhot - d.y : 0;
    PixelRect rows = s->pointer.covered();
    for (size_t i = 0; i < n; ++i) rows = bounding(rows, areas[i]);
    if (cursor) rows = bounding(rows, intersect({left, top, cursor->width, cursor->height}, {0, 0, w, h}));

    const size_t stride = size_t{w} * 4;
    const bool replacesWhole = n == 1 && areas[0] == PixelRect{0, 0, w, h};
    edit_frame(static_cast<uint32_t>(rows.y), static_cast<uint32_t>(rows.bottom()), replacesWhole, [&](uint8_t* frame) {
        s->pointer.lift(frame, stride);
        for (size_t i = 0; i < n; ++i) {
            const PixelRect& a = areas[i];
            uint8_t* to = frame + static_cast<size_t>(a.y) * stride + static_cast<size_t>(a.x) * 4;
            copy_opaque(to, stride, reads.pixels[i], static_cast<size_t>(a.width) * 4, static_cast<size_t>(a.width),
                        static_cast<size_t>(a.height));
        }
        if (cursor) {
            s->pointer.draw(frame, w, h, stride, xcb_xfixes_get_cursor_image_cursor_image(cursor.get()), cursor->width,
                            cursor->height, left, top);
        }
    });
    s->wholeNext = false;
    s->pointerDrawn = cursor != nullptr;
    if (cursor) {
        s->pointerX = cursor->x;
        s->pointerY = cursor->y;
        s->cursorSerial = cursor->cursor_serial;
    }
    return GrabResult::ok;
}

std::string display_name() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) return "cannot open the X display: DISPLAY is not set";
    return std::string("cannot open X display \"") + name + "\"";
}

void set_up_cursor(Capture* s) {
    xcb_connection_t* c = s->conn.get();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (ext && ext->present) {
        // XFixes answers nothing before its version has been negotiated.
        XcbReply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr));
        s->drawCursor = version != nullptr;
    }
    if (!s->drawCursor) fputs("[capture] WARNING: no XFixes on the X server, the pointer is not drawn\n", stderr);
}

// DAMAGE on the root window, and a watch on the compositing manager's
// selection; without either the whole screen is read every tick.
void set_up_damage(Capture* s, int screenNumber) {
    xcb_connection_t* c = s->conn.get();
    if (s->drawCursor) {
        s->xfixesEvents = xcb_get_extension_data(c, &xcb_xfixes_id)->first_event;
        const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
        XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
        if (atom) {
            s->compositorSelection = atom->atom;
            // Watched before it is asked for, so no change falls in between.
            xcb_xfixes_select_selection_input(c, s->root, atom->atom,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                                  XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
            XcbReply<xcb_get_selection_owner_reply_t> owner(
                xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
            s->compositor = owner && owner->owner != XCB_NONE;
        }
        // The damaged region is handed over as an XFixes region.
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_damage_id);
        XcbReply<xcb_damage_query_version_reply_t> version;
        if (ext && ext->present) {
            version.reset(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
        }
        if (version) {
            s->damageEvents = ext->first_event;
            s->damage = xcb_generate_id(c);
            xcb_damage_create(c, s->damage, s->root, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
            s->damaged = xcb_generate_id(c);
            xcb_xfixes_create_region(c, s->damaged, 0, nullptr);
        }
    }
    report_mode(s);
}

void set_up_shm(Capture* s) {
    std::string why;
    s->shm = ShmSegment::create(s->conn.get(), size_t{s->display.width} * s->display.height * 4, &why);
    if (!s->shm) fprintf(stderr, "[capture] MIT-SHM unavailable (%s), using GetImage\n", why.c_str());
}

}  // namespace

Capture* start_capture() {
    XConnection x = open_x_connection();
    if (x.status == XConnection::Status::noServer) {
        report_capture_failure(kShareableContentFailedLine, display_name());
        return nullptr;
    }
    if (x.status == XConnection::Status::noScreen) {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }
    XcbConnection conn = std::move(x.conn);
    const xcb_screen_t* screen = x.screen;
    const int screenNumber = x.screenNumber;

    const X11Displays offered = list_x11_displays(conn.get(), screen);
    const auto chosen = choose_display(offered.displays, offered.mainId);
    if (!chosen) {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }
    fprintf(stderr, kDisplayLine, chosen->width, chosen->height, chosen->id);

    std::string why;
    if (!root_pixels_are_bgra(conn.get(), screen, &why)) {
        report_capture_failure(kStartFailedLine, why);
        return nullptr;
    }

    auto* s = new Capture;  // lives until the process ends
    s->conn = std::move(conn);
    s->root = screen->root;
    s->display = *chosen;
    set_up_cursor(s);
    set_up_damage(s, screenNumber);
    set_up_shm(s);

    // The first picture is taken before the start is said to be done, so
    // that a screen we cannot read fails the start rather than leaving the
    // stream silent.
    if (!s->loop.start()) {
        delete s;
        return nullptr;
    }
    return s;
}

void stop_capture(Capture* stream, std::function<void(const char* error)> done) {
    stream->loop.stop(std::move(done));
}

ScreenOrigin display_origin(const Capture* stream) { return {stream->display.x, stream->display.y}; }

}  // namespace x11
