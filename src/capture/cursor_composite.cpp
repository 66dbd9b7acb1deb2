#include "capture/cursor_composite.h"

#include <algorithm>
#include <cstring>

namespace {

// Premultiplied "over": the source already carries its alpha.
inline uint8_t blend(uint32_t src, uint32_t dst, uint32_t alpha) {
    return static_cast<uint8_t>(std::min<uint32_t>(255, src + (dst * (255 - alpha) + 127) / 255));
}

}  // namespace

void composite_cursor(uint8_t* frame, uint32_t frameWidth, uint32_t frameHeight, size_t bytesPerRow,
                      const uint32_t* argb, uint32_t width, uint32_t height, int64_t left, int64_t top) {
    const int64_t x0 = std::max<int64_t>(0, left);
    const int64_t y0 = std::max<int64_t>(0, top);
    const int64_t x1 = std::min<int64_t>(frameWidth, left + width);
    const int64_t y1 = std::min<int64_t>(frameHeight, top + height);
    for (int64_t y = y0; y < y1; ++y) {
        const uint32_t* src = argb + (y - top) * width;
        uint8_t* dst = frame + static_cast<size_t>(y) * bytesPerRow;
        for (int64_t x = x0; x < x1; ++x) {
            const uint32_t p = src[x - left];
            const uint32_t a = p >> 24;
            if (a == 0 && (p & 0xFFFFFFu) == 0) continue;
            uint8_t* d = dst + x * 4;
            d[0] = blend(p & 0xFF, d[0], a);
            d[1] = blend((p >> 8) & 0xFF, d[1], a);
            d[2] = blend((p >> 16) & 0xFF, d[2], a);
            d[3] = 255;
        }
    }
}

void PointerOverlay::lift(uint8_t* frame, size_t bytesPerRow) {
    const size_t rowBytes = static_cast<size_t>(rect_.width) * 4;
    for (int64_t r = 0; r < rect_.height; ++r) {
        memcpy(frame + static_cast<size_t>(rect_.y + r) * bytesPerRow + static_cast<size_t>(rect_.x) * 4,
               under_.data() + static_cast<size_t>(r) * rowBytes, rowBytes);
    }
    rect_ = {};
}

void PointerOverlay::draw(uint8_t* frame, uint32_t frameWidth, uint32_t frameHeight, size_t bytesPerRow,
                          const uint32_t* argb, uint32_t width, uint32_t height, int64_t left, int64_t top) {
    rect_ = intersect({left, top, width, height}, {0, 0, frameWidth, frameHeight});
    const size_t rowBytes = static_cast<size_t>(rect_.width) * 4;
    under_.resize(rowBytes * static_cast<size_t>(std::max<int64_t>(rect_.height, 0)));
    for (int64_t r = 0; r < rect_.height; ++r) {
        memcpy(under_.data() + static_cast<size_t>(r) * rowBytes,
               frame + static_cast<size_t>(rect_.y + r) * bytesPerRow + static_cast<size_t>(rect_.x) * 4, rowBytes);
    }
    composite_cursor(frame, frameWidth, frameHeight, bytesPerRow, argb, width, height, left, top);
}
