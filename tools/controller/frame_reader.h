#pragma once

// Reading the helper's stdout: exact byte counts, the header, whole frames.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "controller/bytes.h"
#include "controller/stream_header.h"

namespace controller {

// How long a read may wait in all; none: as long as the stream lasts.
using Timeout = std::optional<std::chrono::milliseconds>;

// Reads into `out` until it holds `size` bytes, the stream ends or fails, or
// `timeout` passes. A pipe hands over a frame in pieces, and signals interrupt
// reads: neither ends it. Returns how many bytes arrived. Without a timeout
// `fd` must be blocking.
inline size_t read_up_to(int fd, uint8_t* out, size_t size, Timeout timeout = std::nullopt) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    size_t got = 0;
    while (got < size) {
        if (timeout) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            pollfd readable{fd, POLLIN, 0};
            const int ready = left > 0 ? poll(&readable, 1, int(left)) : 0;
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) break;
        }
        const ssize_t n = read(fd, out + got, size - got);
        if (n > 0) {
            got += size_t(n);
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    return got;
}

inline bool read_exactly(int fd, uint8_t* out, size_t size, Timeout timeout = std::nullopt) {
    return read_up_to(fd, out, size, timeout) == size;
}

// What arrives of the next `size` bytes.
inline Bytes read_bytes(int fd, size_t size, Timeout timeout = std::nullopt) {
    Bytes bytes(size);
    bytes.resize(read_up_to(fd, bytes.data(), size, timeout));
    return bytes;
}

// The header, unchecked (see is_valid); nothing if the stream ended first.
inline std::optional<StreamHeader> read_header(int fd, Timeout timeout = std::nullopt) {
    uint8_t bytes[kHeaderBytes];
    if (!read_exactly(fd, bytes, sizeof bytes, timeout)) return std::nullopt;
    return decode_header(bytes);
}

// The next whole frame into `frame`, sized to it once and then reused; false
// if the stream ended first.
inline bool read_frame(int fd, const StreamHeader& header, Bytes& frame, Timeout timeout = std::nullopt) {
    frame.resize(header.frameBytes);
    return read_exactly(fd, frame.data(), frame.size(), timeout);
}

}  // namespace controller
