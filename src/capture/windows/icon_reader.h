#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// A cursor as premultiplied ARGB pixels, the form the pointer overlay draws.
struct CursorImage {
    HCURSOR handle = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t hotX = 0;
    int32_t hotY = 0;
    std::vector<uint32_t> argb;
};

// Reads `cursor` by drawing it the system's way on black and on white
// (cursor_from_backgrounds). False when the cursor cannot be read.
bool read_cursor_image(HCURSOR cursor, CursorImage& image);
