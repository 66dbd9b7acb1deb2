#pragma once

#include <cstddef>
#include <cstdint>

// Draws a cursor image over a BGRA frame. `argb` holds `width` x `height`
// premultiplied ARGB pixels (as XFixes hands them); its top-left corner goes
// to frame pixel (left, top), which may lie partly or wholly outside the
// frame: what falls outside is clipped away.
void composite_cursor(uint8_t* frame, uint32_t frameWidth, uint32_t frameHeight, size_t bytesPerRow,
                      const uint32_t* argb, uint32_t width, uint32_t height, int64_t left, int64_t top);
