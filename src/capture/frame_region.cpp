#include "capture/frame_region.h"

#include <algorithm>
#include <cstring>

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    const int64_t x = std::max(a.x, b.x), y = std::max(a.y, b.y);
    const int64_t r = std::min(a.right(), b.right()), btm = std::min(a.bottom(), b.bottom());
    if (r <= x || btm <= y) return {};
    return {x, y, r - x, btm - y};
}

PixelRect bounding(const PixelRect& a, const PixelRect& b) {
    if (a.empty()) return b.empty() ? PixelRect{} : b;
    if (b.empty()) return a;
    const int64_t x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    return {x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

size_t plan_grab(const PixelRect* damaged, size_t count, const PixelRect& monitor, PixelRect* out, size_t maxRects) {
    if (maxRects == 0) return 0;
    size_t n = 0;
    PixelRect all;
    for (size_t i = 0; i < count; ++i) {
        PixelRect r = intersect(damaged[i], monitor);
        if (r.empty()) continue;
        r.x -= monitor.x;
        r.y -= monitor.y;
        all = bounding(all, r);
        if (n < maxRects) out[n] = r;
        ++n;
    }
    if (n <= maxRects) return n;
    out[0] = all;
    return 1;
}

void copy_opaque(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride, size_t width, size_t rows) {
    // Eight pixels at a time in the compilers' generic vectors (SSE or NEON
    // underneath): at -O2 a plain loop is not vectorised and runs at a third of
    // memcpy's speed. memcpy keeps unaligned rows legal.
    typedef uint32_t Pixels __attribute__((vector_size(32)));
    constexpr size_t kStep = sizeof(Pixels) / 4;
    for (size_t r = 0; r < rows; ++r) {
        uint8_t* d = dst + r * dstStride;
        const uint8_t* s = src + r * srcStride;
        size_t i = 0;
        for (; i + kStep <= width; i += kStep) {
            Pixels p;
            memcpy(&p, s + i * 4, sizeof p);
            p |= 0xFF000000u;
            memcpy(d + i * 4, &p, sizeof p);
        }
        for (; i < width; ++i) {
            uint32_t p;
            memcpy(&p, s + i * 4, 4);
            p |= 0xFF000000u;
            memcpy(d + i * 4, &p, 4);
        }
    }
}
