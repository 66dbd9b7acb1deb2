#pragma once

#include <cstddef>
#include <cstdint>

// Parts of a frame: what changed on the screen, and the copies that bring it
// into the store.

// A rectangle of pixels; empty when either side is zero or less.
struct PixelRect {
    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    int64_t right() const { return x + width; }
    int64_t bottom() const { return y + height; }
    bool operator==(const PixelRect&) const = default;
};

PixelRect intersect(const PixelRect& a, const PixelRect& b);
// The smallest rectangle holding both; an empty one adds nothing.
PixelRect bounding(const PixelRect& a, const PixelRect& b);

// More damaged rectangles than this are read (or copied) as their bounding
// box: each one costs a request, or a pass over the rows, of its own.
constexpr size_t kMaxCopyRects = 16;

// The frame areas to read for the screen rectangles `damaged` (screen
// coordinates) on a monitor at `monitor`: each clipped to the monitor and
// moved to frame coordinates, empty ones dropped. More than `maxRects` of
// them cost more in requests than they save in pixels and become their
// bounding box. Writes at most `maxRects` into `out` and returns how many.
size_t plan_grab(const PixelRect* damaged, size_t count, const PixelRect& monitor, PixelRect* out, size_t maxRects);

// Copies `rows` rows of `width` pixels, setting each pixel's alpha byte to
// opaque on the way: X servers leave the fourth byte of a depth-24 pixel
// undefined, and one pass over the picture is cheaper than two.
void copy_opaque(uint8_t* dst, size_t dstStride, const uint8_t* src, size_t srcStride, size_t width, size_t rows);
