#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/frame_region.h"

// Draws a cursor image over a BGRA frame. `argb` holds `width` x `height`
// premultiplied ARGB pixels (as XFixes hands them); its top-left corner goes
// to frame pixel (left, top), which may lie partly or wholly outside the
// frame: what falls outside is clipped away.
void composite_cursor(uint8_t* frame, uint32_t frameWidth, uint32_t frameHeight, size_t bytesPerRow,
                      const uint32_t* argb, uint32_t width, uint32_t height, int64_t left, int64_t top);

// The pointer over a frame that is edited in place: keeps the pixels the
// pointer covers, so that a pointer move puts them back instead of reading the
// screen again.
class PointerOverlay {
public:
    // Puts back what the last draw covered.
    void lift(uint8_t* frame, size_t bytesPerRow);
    // Draws the cursor as composite_cursor does, keeping what it covers.
    void draw(uint8_t* frame, uint32_t frameWidth, uint32_t frameHeight, size_t bytesPerRow, const uint32_t* argb,
              uint32_t width, uint32_t height, int64_t left, int64_t top);
    // The frame area under the pointer now; empty when none is drawn.
    const PixelRect& covered() const { return rect_; }

private:
    PixelRect rect_;
    std::vector<uint8_t> under_;
};
