#include "capture/pixel_formats.h"

#include <cstring>

#include "capture/frame_region.h"

PixelOrder pixel_order(uint32_t shmFormat) {
    switch (shmFormat) {
        case kShmArgb8888:
        case kShmXrgb8888: return PixelOrder::bgrx;
        case kShmAbgr8888:
        case kShmXbgr8888: return PixelOrder::rgbx;
        default: return PixelOrder::unsupported;
    }
}

namespace {

void swap_red_blue_opaque(uint8_t* dst, const uint8_t* src, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        uint32_t p;
        memcpy(&p, src + i * 4, 4);
        p = (p & 0x0000FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16 | 0xFF000000u;
        memcpy(dst + i * 4, &p, 4);
    }
}

}  // namespace

void copy_as_bgra(PixelOrder order, bool upsideDown, uint8_t* dst, size_t dstStride, const uint8_t* src,
                  size_t srcStride, size_t width, size_t rows) {
    if (order == PixelOrder::unsupported) return;
    if (order == PixelOrder::bgrx && !upsideDown) {
        copy_opaque(dst, dstStride, src, srcStride, width, rows);
        return;
    }
    for (size_t r = 0; r < rows; ++r) {
        const uint8_t* from = src + (upsideDown ? rows - 1 - r : r) * srcStride;
        uint8_t* to = dst + r * dstStride;
        if (order == PixelOrder::bgrx) {
            copy_opaque(to, dstStride, from, srcStride, width, 1);
        } else {
            swap_red_blue_opaque(to, from, width);
        }
    }
}
