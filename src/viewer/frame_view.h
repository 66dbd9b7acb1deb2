#pragma once

#include <cstdint>

// Where the frame goes in the window, and which frame pixel a window point
// names: 1:1 when it fits, else scaled down with its aspect kept.

struct Size {
    int width, height;
};
struct Rect {
    int x, y, width, height;
};
struct FramePixel {
    uint16_t x, y;
    bool operator==(const FramePixel&) const = default;
};

// The frame's place in a window of `window` size: as large as fits, never
// larger than 1:1, centred.
Rect frame_rect(Size frame, Size window);

// The window to open for a frame on a screen with `room` to spare.
inline Size window_size(Size frame, Size room) {
    const Rect r = frame_rect(frame, room);
    return {r.width, r.height};
}

// The frame pixel under window point (x, y); points off the frame (a drag
// that left the window) name the nearest edge pixel.
FramePixel frame_pixel(Size frame, Rect shown, int x, int y);
