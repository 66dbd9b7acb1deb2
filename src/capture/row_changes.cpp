#include "capture/row_changes.h"

#include <cstring>

RowSpan changed_rows(const uint8_t* before, const uint8_t* now, size_t stride, size_t rowBytes, uint32_t height) {
    auto differs = [&](uint32_t row) {
        return std::memcmp(before + row * stride, now + row * stride, rowBytes) != 0;
    };
    uint32_t top = 0;
    while (top < height && !differs(top)) ++top;
    if (top == height) return {};
    uint32_t bottom = height;
    while (bottom - 1 > top && !differs(bottom - 1)) --bottom;
    return {top, bottom};
}
