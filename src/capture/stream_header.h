#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 28 bytes that open the frame stream on stdout, all fields unsigned
// 32-bit little-endian: "ZNTV", version 1, width, height, fps, pixel format
// ("BGRA" as 0x41524742) and the byte length of every frame that follows.
constexpr size_t kStreamHeaderSize = 28;
constexpr uint32_t kPixelFormatBGRA = 0x41524742;

struct StreamHeader {
    uint32_t width;
    uint32_t height;
    uint32_t fps;
    uint32_t frameBytes;
};

StreamHeader make_stream_header(uint32_t width, uint32_t height, uint32_t fps);
std::array<uint8_t, kStreamHeaderSize> encode_stream_header(const StreamHeader& header);
