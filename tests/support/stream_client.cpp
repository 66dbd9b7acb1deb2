#include "support/stream_client.h"

#include <cstring>

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

DecodedHeader decode_header(const uint8_t* bytes) {
    DecodedHeader h{};
    memcpy(h.magic, bytes, 4);
    h.version = le32(bytes + 4);
    h.width = le32(bytes + 8);
    h.height = le32(bytes + 12);
    h.fps = le32(bytes + 16);
    h.pixelFormat = le32(bytes + 20);
    h.frameBytes = le32(bytes + 24);
    return h;
}

std::optional<DecodedHeader> StreamClient::read_header(std::chrono::milliseconds timeout) {
    uint8_t bytes[28];
    if (child_.read_stdout(bytes, sizeof bytes, timeout) != sizeof bytes) return std::nullopt;
    const DecodedHeader h = decode_header(bytes);
    frameBytes_ = h.frameBytes;
    return h;
}

std::optional<std::vector<uint8_t>> StreamClient::read_frame(std::chrono::milliseconds timeout) {
    std::vector<uint8_t> frame(frameBytes_);
    if (child_.read_stdout(frame.data(), frame.size(), timeout) != frame.size()) return std::nullopt;
    return frame;
}

Bgra pixel_at(const std::vector<uint8_t>& frame, uint32_t width, uint32_t x, uint32_t y) {
    const uint8_t* p = frame.data() + (size_t{y} * width + x) * 4;
    return Bgra{p[0], p[1], p[2], p[3]};
}
