#pragma once

// The 28 bytes that open the helper's stdout, every field unsigned 32-bit
// little-endian: magic, version, width, height, fps, pixel format, and the
// length of each frame that follows.

#include <cstddef>
#include <cstdint>
#include <string>

namespace controller {

inline constexpr size_t kHeaderBytes = 28;
inline constexpr const char* kStreamMagic = "ZNTV";
inline constexpr uint32_t kStreamVersion = 1;
inline constexpr uint32_t kPixelFormatBGRA = 0x41524742;  // the bytes B, G, R, A on the wire

struct StreamHeader {
    std::string magic;
    uint32_t version, width, height, fps, format, frameBytes;
};

inline uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The fields of any kHeaderBytes bytes; is_valid says whether they make a stream we can read.
inline StreamHeader decode_header(const uint8_t* bytes) {
    const uint8_t* p = bytes;
    return {std::string(p, p + 4), le32(p + 4), le32(p + 8), le32(p + 12), le32(p + 16), le32(p + 20), le32(p + 24)};
}

// Ours, and frames of whole BGRA rows without padding: anything else would be misread.
inline bool is_valid(const StreamHeader& h) {
    return h.magic == kStreamMagic && h.version == kStreamVersion && h.format == kPixelFormatBGRA &&
           uint64_t{h.frameBytes} == uint64_t{h.width} * h.height * 4;
}

// "magic=ZNTV version=1 1280x720 fps=15 format=BGRA frameBytes=3686400": the
// pixel format as the four bytes it is on the wire; text fields end at a NUL.
inline std::string describe(const StreamHeader& h) {
    const char format[] = {char(h.format), char(h.format >> 8), char(h.format >> 16), char(h.format >> 24), '\0'};
    return "magic=" + std::string(h.magic.c_str()) + " version=" + std::to_string(h.version) + " " +
           std::to_string(h.width) + "x" + std::to_string(h.height) + " fps=" + std::to_string(h.fps) +
           " format=" + format + " frameBytes=" + std::to_string(h.frameBytes);
}

}  // namespace controller
