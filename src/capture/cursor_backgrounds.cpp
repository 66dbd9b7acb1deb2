#include "capture/cursor_backgrounds.h"

#include <algorithm>

void cursor_from_backgrounds(const uint32_t* onBlack, const uint32_t* onWhite, size_t count, uint32_t* argb) {
    for (size_t i = 0; i < count; ++i) {
        // On white a pixel shows 255 * (1 - alpha) more than on black, in every channel.
        const int shown = static_cast<int>((onWhite[i] >> 8) & 0xFF) - static_cast<int>((onBlack[i] >> 8) & 0xFF);
        const auto alpha = static_cast<uint32_t>(std::clamp(255 - shown, 0, 255));
        // Premultiplied: no channel above the alpha.
        auto channel = [&](int shift) { return std::min((onBlack[i] >> shift) & 0xFF, alpha) << shift; };
        argb[i] = alpha << 24 | channel(16) | channel(8) | channel(0);
    }
}
