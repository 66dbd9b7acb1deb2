#pragma once

#include <cstddef>
#include <cstdint>

// The rows of a picture that differ from the one before, for a capture that
// gets the whole screen every time and no word of what changed (GDI): only
// those rows go to the store, so a still screen copies nothing.
struct RowSpan {
    uint32_t top = 0;
    uint32_t bottom = 0;  // one past the last changed row; equal to top when none changed
    bool empty() const { return top == bottom; }
};

// The span from the first to the last row of `height` rows (each `rowBytes`
// long, `stride` apart in both pictures) where `now` differs from `before`.
RowSpan changed_rows(const uint8_t* before, const uint8_t* now, size_t stride, size_t rowBytes, uint32_t height);
