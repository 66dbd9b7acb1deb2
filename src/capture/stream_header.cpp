#include "capture/stream_header.h"

#include <algorithm>

namespace {

// Magic and version, identical in every stream.
constexpr std::array<uint8_t, 8> kHeaderTemplate = {'Z', 'N', 'T', 'V', 1, 0, 0, 0};

void put_le32(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace

StreamHeader make_stream_header(uint32_t width, uint32_t height, uint32_t fps) {
    return StreamHeader{width, height, fps, width * height * 4u};
}

std::array<uint8_t, kStreamHeaderSize> encode_stream_header(const StreamHeader& header) {
    std::array<uint8_t, kStreamHeaderSize> bytes{};
    std::copy(kHeaderTemplate.begin(), kHeaderTemplate.end(), bytes.begin());
    put_le32(&bytes[8], header.width);
    put_le32(&bytes[12], header.height);
    put_le32(&bytes[16], header.fps);
    put_le32(&bytes[20], kPixelFormatBGRA);
    put_le32(&bytes[24], header.frameBytes);
    return bytes;
}
