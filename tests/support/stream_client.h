#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "support/child_process.h"

// Reads the frame stream the way a controller does: the 28-byte header,
// then frames of exactly frameBytes each.
struct DecodedHeader {
    char magic[4];
    uint32_t version, width, height, fps, pixelFormat, frameBytes;
};

DecodedHeader decode_header(const uint8_t* bytes);

class StreamClient {
public:
    explicit StreamClient(ChildProcess& child) : child_(child) {}

    std::optional<DecodedHeader> read_header(std::chrono::milliseconds timeout);
    // The next whole frame, or nothing if the stream ended or stalled.
    std::optional<std::vector<uint8_t>> read_frame(std::chrono::milliseconds timeout);

private:
    ChildProcess& child_;
    uint32_t frameBytes_ = 0;
};

// Pixel (x, y) of a packed BGRA frame.
struct Bgra {
    uint8_t b, g, r, a;
    bool operator==(const Bgra&) const = default;
};
Bgra pixel_at(const std::vector<uint8_t>& frame, uint32_t width, uint32_t x, uint32_t y);
