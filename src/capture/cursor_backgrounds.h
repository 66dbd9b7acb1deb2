#pragma once

#include <cstddef>
#include <cstdint>

// A cursor's premultiplied ARGB pixels from two drawings of it, the system's
// own way: once on black, once on white (`0x00RRGGBB` words each). What the
// two differ by is its transparency, what it leaves on black its colour. That
// covers colour, alpha and monochrome cursors alike; a pixel that inverts
// what is under it comes out opaque white.
void cursor_from_backgrounds(const uint32_t* onBlack, const uint32_t* onWhite, size_t count, uint32_t* argb);
