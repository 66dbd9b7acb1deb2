#include "capture/x11/x11_displays.h"

#include <xcb/randr.h>

#include <algorithm>
#include <bit>
#include <cstdio>

#include "platform/x11/xcb_handles.h"

namespace {

// The part of a monitor that lies on the root window; empty when none does.
bool clip_to_root(const xcb_screen_t* screen, DisplayInfo* d) {
    const int64_t x0 = std::max<int64_t>(0, d->x);
    const int64_t y0 = std::max<int64_t>(0, d->y);
    const int64_t x1 = std::min<int64_t>(screen->width_in_pixels, int64_t{d->x} + d->width);
    const int64_t y1 = std::min<int64_t>(screen->height_in_pixels, int64_t{d->y} + d->height);
    if (x1 <= x0 || y1 <= y0) return false;
    d->x = static_cast<int32_t>(x0);
    d->y = static_cast<int32_t>(y0);
    d->width = static_cast<uint32_t>(x1 - x0);
    d->height = static_cast<uint32_t>(y1 - y0);
    return true;
}

bool randr_has_monitors(xcb_connection_t* conn) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn, &xcb_randr_id);
    if (!ext || !ext->present) return false;
    XcbReply<xcb_randr_query_version_reply_t> version(
        xcb_randr_query_version_reply(conn, xcb_randr_query_version(conn, 1, 5), nullptr));
    return version && (version->major_version > 1 || version->minor_version >= 5);
}

}  // namespace

X11Displays list_x11_displays(xcb_connection_t* conn, const xcb_screen_t* screen) {
    X11Displays result;
    if (randr_has_monitors(conn)) {
        XcbReply<xcb_randr_get_monitors_reply_t> monitors(
            xcb_randr_get_monitors_reply(conn, xcb_randr_get_monitors(conn, screen->root, 1), nullptr));
        if (monitors) {
            for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem;
                 xcb_randr_monitor_info_next(&it)) {
                DisplayInfo d;
                d.id = it.data->name;
                d.x = it.data->x;
                d.y = it.data->y;
                d.width = it.data->width;
                d.height = it.data->height;
                if (!clip_to_root(screen, &d)) continue;
                if (it.data->primary) result.mainId = d.id;
                result.displays.push_back(d);
            }
            return result;
        }
    }
    DisplayInfo root;
    root.id = screen->root;
    root.width = screen->width_in_pixels;
    root.height = screen->height_in_pixels;
    if (root.width > 0 && root.height > 0) result.displays.push_back(root);
    result.mainId = root.id;
    return result;
}

bool root_pixels_are_bgra(xcb_connection_t* conn, const xcb_screen_t* screen, std::string* why) {
    const xcb_setup_t* setup = xcb_get_setup(conn);
    const xcb_visualtype_t* visual = nullptr;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem && !visual; xcb_depth_next(&d)) {
        if (d.data->depth != screen->root_depth) continue;
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual) {
                visual = v.data;
                break;
            }
        }
    }
    uint8_t bitsPerPixel = 0;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == screen->root_depth) bitsPerPixel = f.data->bits_per_pixel;
    }
    const bool depthOk = screen->root_depth == 24 || screen->root_depth == 32;
    const bool ok = visual && depthOk && bitsPerPixel == 32 && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                    visual->red_mask == 0xFF0000u && visual->green_mask == 0xFF00u &&
                    visual->blue_mask == 0xFFu && setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST &&
                    std::endian::native == std::endian::little;
    if (ok) return true;
    char text[200];
    snprintf(text, sizeof text,
             "unsupported visual (depth %u, %u bits per pixel, class %u, masks r=%#x g=%#x b=%#x, %s first)",
             screen->root_depth, bitsPerPixel, visual ? visual->_class : 0u, visual ? visual->red_mask : 0u,
             visual ? visual->green_mask : 0u, visual ? visual->blue_mask : 0u,
             setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST ? "LSB" : "MSB");
    *why = text;
    return false;
}
