// The capture stream on an X server: a thread that reads the chosen monitor
// from the root window once per frame interval (MIT-SHM, else GetImage),
// draws the pointer into it and hands it to the frame store.

#include <pthread.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_config.h"
#include "capture/capture_stream.h"
#include "capture/display_choice.h"
#include "capture/frame_store.h"
#include "capture/settings.h"
#include "capture/x11/cursor_composite.h"
#include "capture/x11/shm_segment.h"
#include "capture/x11/x11_displays.h"
#include "capture/x11/xcb_handles.h"

namespace {

constexpr const char* kConnectionLostLine = "[capture] ERROR: lost the connection to the X server\n";

void report_failure(const char* line, const std::string& why) {
    fprintf(stderr, line, why.c_str());
    fputs(kScreenRecordingLines, stderr);
}

enum class GrabResult { ok, skipped, connectionLost };

}  // namespace

struct CaptureStream {
    XcbConnection conn;
    xcb_window_t root = 0;
    DisplayInfo display;
    std::unique_ptr<ShmSegment> shm;  // null: GetImage
    bool drawCursor = false;

    std::mutex lock;
    std::condition_variable wake;
    bool stopRequested = false;
    bool stopped = false;
    std::vector<std::function<void(const char*)>> stopWaiters;
};

CaptureStream* g_stream = nullptr;

namespace {

// Set once before the capture thread starts; read-only afterwards.
ScreenOrigin g_origin;

// The server leaves the fourth byte of a depth-24 pixel undefined.
void force_opaque(uint8_t* pixels, size_t count) {
    auto* p = reinterpret_cast<uint32_t*>(pixels);
    for (size_t i = 0; i < count; ++i) p[i] |= 0xFF000000u;
}

// One picture of the monitor into the frame store. The image and cursor
// requests go out together, so a frame costs one round trip.
GrabResult grab_once(CaptureStream* s) {
    xcb_connection_t* c = s->conn.get();
    const DisplayInfo& d = s->display;
    const auto x = static_cast<int16_t>(d.x), y = static_cast<int16_t>(d.y);
    const auto w = static_cast<uint16_t>(d.width), h = static_cast<uint16_t>(d.height);

    xcb_shm_get_image_cookie_t shmCookie{};
    xcb_get_image_cookie_t plainCookie{};
    if (s->shm) {
        shmCookie = xcb_shm_get_image(c, s->root, x, y, w, h, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, s->shm->id(), 0);
    } else {
        plainCookie = xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->root, x, y, w, h, ~0u);
    }
    xcb_xfixes_get_cursor_image_cookie_t cursorCookie{};
    if (s->drawCursor) cursorCookie = xcb_xfixes_get_cursor_image(c);

    uint8_t* pixels = nullptr;
    XcbReply<xcb_get_image_reply_t> plain;
    xcb_generic_error_t* rawError = nullptr;
    if (s->shm) {
        XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, shmCookie, &rawError));
        if (reply) pixels = s->shm->data();
    } else {
        plain.reset(xcb_get_image_reply(c, plainCookie, &rawError));
        if (plain && static_cast<size_t>(xcb_get_image_data_length(plain.get())) >= size_t{w} * h * 4) {
            pixels = xcb_get_image_data(plain.get());
        }
    }
    XcbError imageError(rawError);
    XcbReply<xcb_xfixes_get_cursor_image_reply_t> cursor;
    if (s->drawCursor) cursor.reset(xcb_xfixes_get_cursor_image_reply(c, cursorCookie, nullptr));

    discard_pending_events(c);
    if (xcb_connection_has_error(c)) return GrabResult::connectionLost;
    // A refused request (the screen shrank under the monitor, say) only
    // costs this tick.
    if (!pixels) return GrabResult::skipped;

    const size_t bytesPerRow = size_t{w} * 4;
    force_opaque(pixels, size_t{w} * h);
    if (cursor) {
        composite_cursor(pixels, w, h, bytesPerRow, xcb_xfixes_get_cursor_image_cursor_image(cursor.get()),
                         cursor->width, cursor->height, int64_t{cursor->x} - cursor->xhot - d.x,
                         int64_t{cursor->y} - cursor->yhot - d.y);
    }
    if (!store_frame(pixels, w, h, bytesPerRow)) _exit(1);
    return GrabResult::ok;
}

void finish_stop(CaptureStream* s) {
    std::vector<std::function<void(const char*)>> waiters;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        s->stopped = true;
        waiters.swap(s->stopWaiters);
    }
    for (auto& done : waiters) done(nullptr);
}

// Reads the screen on an absolute schedule, never more often than the frame
// rate; a late picture moves the schedule instead of bunching up.
void* capture_thread(void* arg) {
    auto* s = static_cast<CaptureStream*>(arg);
    using Clock = std::chrono::steady_clock;
    const auto interval = std::chrono::nanoseconds(FRAME_INTERVAL_NS);
    auto next = Clock::now() + interval;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(s->lock);
            s->wake.wait_until(guard, next, [s] { return s->stopRequested; });
            if (s->stopRequested) break;
        }
        if (grab_once(s) == GrabResult::connectionLost) {
            fputs(kConnectionLostLine, stderr);
            _exit(1);
        }
        next += interval;
        const auto now = Clock::now();
        if (next < now) next = now;
    }
    finish_stop(s);
    return nullptr;
}

std::string display_name() {
    const char* name = getenv("DISPLAY");
    if (!name || !*name) return "cannot open the X display: DISPLAY is not set";
    return std::string("cannot open X display \"") + name + "\"";
}

void set_up_cursor(CaptureStream* s) {
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

void set_up_shm(CaptureStream* s) {
    std::string why;
    s->shm = ShmSegment::create(s->conn.get(), size_t{s->display.width} * s->display.height * 4, &why);
    if (!s->shm) fprintf(stderr, "[capture] MIT-SHM unavailable (%s), using GetImage\n", why.c_str());
}

}  // namespace

CaptureStream* start_capture_stream() {
    int screenNumber = 0;
    XcbConnection conn(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(conn.get())) {
        report_failure(kShareableContentFailedLine, display_name());
        return nullptr;
    }
    const xcb_setup_t* setup = xcb_get_setup(conn.get());
    auto screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    const xcb_screen_t* screen = screens.rem ? screens.data : nullptr;
    if (!screen) {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }

    const X11Displays offered = list_x11_displays(conn.get(), screen);
    const auto chosen = choose_display(offered.displays, offered.mainId);
    if (!chosen) {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }
    fprintf(stderr, kDisplayLine, chosen->width, chosen->height, chosen->id);

    std::string why;
    if (!root_pixels_are_bgra(conn.get(), screen, &why)) {
        report_failure(kStartFailedLine, why);
        return nullptr;
    }

    auto* s = new CaptureStream;  // lives until the process ends
    s->conn = std::move(conn);
    s->root = screen->root;
    s->display = *chosen;
    set_up_cursor(s);
    set_up_shm(s);

    // The first picture is taken here, so that a screen we cannot read fails
    // the start rather than leaving the stream silent.
    if (grab_once(s) != GrabResult::ok) {
        report_failure(kStartFailedLine, "could not read the screen image");
        delete s;
        return nullptr;
    }
    g_origin = {chosen->x, chosen->y};
    pthread_t thread;
    const int rc = pthread_create(&thread, nullptr, capture_thread, s);
    if (rc != 0) {
        report_failure(kStartFailedLine, strerror(rc));
        delete s;
        return nullptr;
    }
    pthread_detach(thread);
    fputs(kStartedLine, stderr);
    return s;
}

void stop_capture_stream(CaptureStream* stream, std::function<void(const char* error)> done) {
    if (!stream) {
        done(nullptr);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(stream->lock);
        if (!stream->stopped) {
            stream->stopRequested = true;
            stream->stopWaiters.push_back(std::move(done));
            stream->wake.notify_all();
            return;
        }
    }
    done(nullptr);
}

ScreenOrigin captured_display_origin() { return g_origin; }
