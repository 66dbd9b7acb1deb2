#include "input/send_input_rules.h"

#include <algorithm>
#include <array>

int32_t normalized_coordinate(int64_t pixel, int64_t span) {
    if (span <= 0 || pixel <= 0) return 0;
    const int64_t n = (pixel * 65536 + span - 1) / span;
    return static_cast<int32_t>(std::min<int64_t>(n, 65535));
}

namespace {

// Sorted, for binary search: Break (VK_CANCEL), Page Up and Down, End, Home,
// the arrows, Print Screen, Insert, Delete, the Windows and Menu keys, keypad
// divide, Num Lock, right Control and Alt, and the browser and media keys.
constexpr std::array<uint16_t, 37> kExtendedKeys = {
    0x03, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2C, 0x2D, 0x2E, 0x5B, 0x5C, 0x5D, 0x6F, 0x90, 0xA3, 0xA5,
    0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7,
};
static_assert(std::is_sorted(kExtendedKeys.begin(), kExtendedKeys.end()));

}  // namespace

bool is_extended_key(uint16_t virtualKey) {
    return std::binary_search(kExtendedKeys.begin(), kExtendedKeys.end(), virtualKey);
}
