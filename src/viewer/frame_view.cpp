#include "viewer/frame_view.h"

#include <algorithm>

Rect frame_rect(Size frame, Size window) {
    int64_t w = frame.width, h = frame.height;
    if (w > window.width || h > window.height) {
        // Whichever side limits the scale takes the window's length; the other
        // follows, rounded down so that it still fits.
        if (w * window.height >= int64_t{window.width} * h) {
            h = std::max<int64_t>(1, h * window.width / w), w = window.width;
        } else {
            w = std::max<int64_t>(1, w * window.height / h), h = window.height;
        }
    }
    return {int((window.width - w) / 2), int((window.height - h) / 2), int(w), int(h)};
}

FramePixel frame_pixel(Size frame, Rect shown, int x, int y) {
    const auto map = [](int at, int start, int length, int frameLength) {
        const int64_t inside = std::clamp(at - start, 0, std::max(length, 1) - 1);
        return uint16_t(std::min<int64_t>(inside * frameLength / std::max(length, 1), frameLength - 1));
    };
    return {map(x, shown.x, shown.width, frame.width), map(y, shown.y, shown.height, frame.height)};
}
