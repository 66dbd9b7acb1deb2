#pragma once

#include <cstddef>
#include <cstdint>

// 32-bit pictures that compositors hand out, turned into the stream's BGRA.

// wl_shm format codes (DRM four-character codes, but for the first two).
constexpr uint32_t kShmArgb8888 = 0;
constexpr uint32_t kShmXrgb8888 = 1;
constexpr uint32_t kShmAbgr8888 = 0x34324241;  // 'AB24'
constexpr uint32_t kShmXbgr8888 = 0x34324258;  // 'XB24'

// Byte order of a pixel in memory; the fourth byte is alpha or unused.
enum class PixelOrder { bgrx, rgbx, unsupported };

// Formats with X or A in the top byte of a little-endian word; others are
// not taken.
PixelOrder pixel_order(uint32_t shmFormat);

// Copies `rows` rows of `width` pixels into BGRA with alpha 255. With
// `upsideDown` the source's last row comes first, for pictures stored
// bottom-up.
void copy_as_bgra(PixelOrder order, bool upsideDown, uint8_t* dst, size_t dstStride, const uint8_t* src,
                  size_t srcStride, size_t width, size_t rows);
