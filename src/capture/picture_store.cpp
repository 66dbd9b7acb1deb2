#include "capture/picture_store.h"

#include "capture/frame_store.h"

bool store_damaged_picture(const DamagedPicture& p, bool haveWhole) {
    if (!size_frame_store(p.width, p.height)) return false;
    if (frame_width() != p.width || frame_height() != p.height) return true;

    const PixelRect all{0, 0, p.width, p.height};
    PixelRect areas[kMaxCopyRects];
    size_t n = 1;
    areas[0] = all;
    if (haveWhole && !p.upsideDown && p.damage && !p.damage->empty()) {
        n = plan_grab(p.damage->data(), p.damage->size(), all, areas, kMaxCopyRects);
    }
    PixelRect rows;
    for (size_t i = 0; i < n; ++i) rows = bounding(rows, areas[i]);
    if (rows.empty()) return true;

    const size_t frameStride = size_t{p.width} * 4;
    const bool replacesWhole = n == 1 && areas[0] == all;
    edit_frame(static_cast<uint32_t>(rows.y), static_cast<uint32_t>(rows.bottom()), replacesWhole, [&](uint8_t* frame) {
        for (size_t i = 0; i < n; ++i) {
            const PixelRect& a = areas[i];
            const size_t firstRow = static_cast<size_t>(p.upsideDown ? all.height - a.bottom() : a.y);
            copy_as_bgra(p.order, p.upsideDown,
                         frame + static_cast<size_t>(a.y) * frameStride + static_cast<size_t>(a.x) * 4, frameStride,
                         p.pixels + firstRow * p.stride + static_cast<size_t>(a.x) * 4, p.stride,
                         static_cast<size_t>(a.width), static_cast<size_t>(a.height));
        }
    });
    return true;
}
