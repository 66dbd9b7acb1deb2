// Each grab reads the primary monitor from the screen DC into one of two
// top-down BGRA DIB sections, compares it row by row with the other one (the
// picture before), and edits the frame store: the changed rows (with
// alpha made opaque, which BitBlt leaves 0) and the pointer where it is now.

#include "capture/windows/gdi_capture.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/capture_config.h"
#include "capture/cursor_composite.h"
#include "capture/frame_region.h"
#include "capture/frame_store.h"
#include "capture/row_changes.h"
#include "capture/still_screen_pacing.h"
#include "capture/windows/icon_reader.h"
#include "platform/windows/input_desktop.h"

namespace {

constexpr const char* kDesktopChangedLine = "[capture] the input desktop changed: reading the screen from the new one\n";

struct Monitors {
    std::vector<DisplayInfo> displays;
    uint32_t primaryId = 0;
};

BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto* list = reinterpret_cast<Monitors*>(context);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    const auto id = static_cast<uint32_t>(list->displays.size() + 1);
    list->displays.push_back({id, r.left, r.top, static_cast<uint32_t>(r.right - r.left),
                              static_cast<uint32_t>(r.bottom - r.top)});
    if (info.dwFlags & MONITORINFOF_PRIMARY) list->primaryId = id;
    return TRUE;
}

}  // namespace

struct GdiCapture::State {
    DisplayInfo display;
    HDC screen = nullptr;
    // Read into in turn, so that the picture before needs no copy of its own.
    struct Surface {
        HDC memory = nullptr;
        HBITMAP dib = nullptr;
        uint8_t* pixels = nullptr;  // width * 4 bytes per row, top row first, as BitBlt left them
    } surfaces[2];
    int next = 0;  // the surface the next read goes to; the other holds the picture before
    bool haveBefore = false;

    PointerOverlay pointer;
    CursorImage cursor;
    POINT pointerAt{};  // where the cursor image's top-left corner was drawn, in frame pixels
    bool pointerDrawn = false;
    HCURSOR drawnCursor = nullptr;
    bool desktopChangeLogged = false;
    StillScreenPacing pacing;

    size_t stride() const { return size_t{display.width} * 4; }
};

namespace {

bool make_surfaces(GdiCapture::State* s, std::string* why) {
    s->screen = GetDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(s->display.width);
    info.bmiHeader.biHeight = -static_cast<LONG>(s->display.height);  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    for (GdiCapture::State::Surface& surface : s->surfaces) {
        surface.memory = s->screen ? CreateCompatibleDC(s->screen) : nullptr;
        if (!surface.memory) {
            *why = "cannot open the screen: " + windows_error_text(GetLastError());
            return false;
        }
        void* bits = nullptr;
        surface.dib = CreateDIBSection(surface.memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!surface.dib) {
            *why = "cannot make a bitmap of the screen's size: " + windows_error_text(GetLastError());
            return false;
        }
        surface.pixels = static_cast<uint8_t*>(bits);
        SelectObject(surface.memory, surface.dib);
    }
    return true;
}

// A screen DC of a desktop that is no longer the input desktop reads
// nothing: follow the input desktop and take a new DC there.
void follow_desktop(GdiCapture::State* s) {
    std::string why;
    if (!follow_input_desktop(&why)) return;
    if (!s->desktopChangeLogged) fputs(kDesktopChangedLine, stderr);
    s->desktopChangeLogged = true;
    ReleaseDC(nullptr, s->screen);
    s->screen = GetDC(nullptr);
    s->haveBefore = false;
}

// The cursor now, in frame pixels; false when none is shown or it cannot be read.
bool current_cursor(GdiCapture::State* s, POINT* at) {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    if (!GetCursorInfo(&info) || !(info.flags & CURSOR_SHOWING) || !info.hCursor) return false;
    if (info.hCursor != s->cursor.handle) {
        // Wine cannot read another process's cursor: the arrow stands in for it.
        if (!read_cursor_image(info.hCursor, s->cursor) &&
            !read_cursor_image(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)), s->cursor)) {
            return false;
        }
        s->cursor.handle = info.hCursor;
    }
    at->x = info.ptScreenPos.x - s->cursor.hotX - s->display.x;
    at->y = info.ptScreenPos.y - s->cursor.hotY - s->display.y;
    return true;
}

// Whether the pointer is not what the frame shows: shown or hidden, moved,
// or another cursor.
bool pointer_differs(const GdiCapture::State* s, bool shown, POINT at) {
    return shown != s->pointerDrawn ||
           (shown && (at.x != s->pointerAt.x || at.y != s->pointerAt.y || s->cursor.handle != s->drawnCursor));
}

bool pointer_moved(GdiCapture::State* s) {
    POINT at{};
    const bool shown = current_cursor(s, &at);
    return pointer_differs(s, shown, at);
}

// Brings the frame store up to date with the screen and the pointer. A tick
// with nothing changed stores nothing; the writer repeats the last frame.
GrabResult grab_once(GdiCapture::State* s) {
    if (!s->pacing.read_this_tick() && !pointer_moved(s)) return GrabResult::ok;
    const DisplayInfo& d = s->display;
    const auto w = d.width, h = d.height;
    const GdiCapture::State::Surface& now = s->surfaces[s->next];
    const uint8_t* before = s->surfaces[1 - s->next].pixels;
    if (!s->screen || !BitBlt(now.memory, 0, 0, static_cast<int>(w), static_cast<int>(h), s->screen, d.x, d.y,
                              SRCCOPY | CAPTUREBLT)) {
        follow_desktop(s);
        return GrabResult::skipped;
    }
    GdiFlush();
    const size_t stride = s->stride();
    const RowSpan changed = s->haveBefore ? changed_rows(before, now.pixels, stride, stride, h) : RowSpan{0, h};

    POINT at{};
    const bool shown = current_cursor(s, &at);
    const bool pointerMoved = pointer_differs(s, shown, at);
    s->pacing.read_found(!changed.empty() || pointerMoved);
    if (changed.empty() && !pointerMoved) return GrabResult::ok;

    if (!size_frame_store(w, h)) return GrabResult::lost;  // its lines are written
    PixelRect rows = s->pointer.covered();
    if (!changed.empty()) rows = bounding(rows, {0, changed.top, w, changed.bottom - changed.top});
    if (shown) rows = bounding(rows, intersect({at.x, at.y, s->cursor.width, s->cursor.height}, {0, 0, w, h}));
    if (rows.empty()) return GrabResult::ok;

    const bool replacesWhole = changed.top == 0 && changed.bottom == h;
    edit_frame(static_cast<uint32_t>(rows.y), static_cast<uint32_t>(rows.bottom()), replacesWhole, [&](uint8_t* frame) {
        s->pointer.lift(frame, stride);
        const size_t first = size_t{changed.top} * stride;
        copy_opaque(frame + first, stride, now.pixels + first, stride, w, changed.bottom - changed.top);
        if (shown) {
            s->pointer.draw(frame, w, h, stride, s->cursor.argb.data(), s->cursor.width, s->cursor.height, at.x, at.y);
        }
    });
    s->next = 1 - s->next;
    s->haveBefore = true;
    s->pointerDrawn = shown;
    s->pointerAt = at;
    s->drawnCursor = shown ? s->cursor.handle : nullptr;
    return GrabResult::ok;
}

}  // namespace

GdiCapture::GdiCapture() : s_(new State) {}

GdiCapture::~GdiCapture() {
    // Only a capture that never started goes away: a started one lives
    // until the process ends, as its thread does.
    for (const State::Surface& surface : s_->surfaces) {
        if (surface.memory) DeleteDC(surface.memory);  // first: a selected bitmap cannot be deleted
        if (surface.dib) DeleteObject(surface.dib);
    }
    if (s_->screen) ReleaseDC(nullptr, s_->screen);
    delete s_;
}

bool GdiCapture::open() {
    Monitors monitors;
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&monitors));
    const auto chosen = choose_display(monitors.displays, monitors.primaryId);
    if (!chosen || chosen->width == 0 || chosen->height == 0) {
        fputs(kNoDisplayLine, stderr);
        return false;
    }
    s_->display = *chosen;
    fprintf(stderr, kDisplayLine, chosen->width, chosen->height, chosen->id);
    std::string why;
    if (!make_surfaces(s_, &why)) {
        report_capture_failure(kStartFailedLine, why);
        return false;
    }
    return true;
}

bool GdiCapture::take_first_picture(std::string* why) {
    // A screen we cannot read fails the start rather than leaving the stream silent.
    const GrabResult result = grab_once(s_);
    if (result == GrabResult::skipped) *why = "could not read the screen: " + windows_error_text(GetLastError());
    return result == GrabResult::ok;
}

GrabResult GdiCapture::grab() { return grab_once(s_); }

ScreenOrigin GdiCapture::origin() const { return {s_->display.x, s_->display.y}; }
