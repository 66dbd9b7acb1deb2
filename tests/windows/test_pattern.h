#pragma once

#include <cstdint>

// What the test window draws at each pixel, as 0x00RRGGBB: every channel
// varies, and no two neighbours are alike, so a shifted, flipped or
// mis-ordered frame cannot pass for it. A right click turns the band of rows
// [kBandTop, kBandBottom) to its inverse, and the next one back.
constexpr int kBandTop = 200, kBandBottom = 240;

constexpr uint32_t test_pattern_pixel(int x, int y, bool bandInverted = false) {
    const auto r = static_cast<uint32_t>(x * 3 + y) & 0xFF;
    const auto g = static_cast<uint32_t>(y * 5 + x / 2) & 0xFF;
    const auto b = static_cast<uint32_t>(x ^ y) & 0xFF;
    const uint32_t pixel = r << 16 | g << 8 | b;
    return bandInverted && y >= kBandTop && y < kBandBottom ? pixel ^ 0xFFFFFF : pixel;
}
