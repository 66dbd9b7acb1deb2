#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "capture/frame_region.h"
#include "capture/pixel_formats.h"

// A whole 32-bit picture that a compositor handed over, and what of it changed.
struct DamagedPicture {
    const uint8_t* pixels;
    size_t stride;  // bytes between rows
    uint32_t width;
    uint32_t height;
    PixelOrder order;
    bool upsideDown;  // stored bottom-up: its damage is told in the other orientation
    const std::vector<PixelRect>* damage;  // null or empty: all of it
};

// Brings the frame store up to date with `picture`: its damaged areas (at
// most a few, planned as on X11), or all of it while the store has no whole
// picture yet (`haveWhole` false) or the picture is upside down. The store
// is sized by the first picture; one of another size is passed over, the
// stream keeping its first size. False when the store cannot be had.
bool store_damaged_picture(const DamagedPicture& picture, bool haveWhole);
