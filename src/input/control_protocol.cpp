#include "input/control_protocol.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Fills `buffer` completely, reading on after short reads.
bool read_exactly(const ByteSource& source, uint8_t* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = source(buffer + got, size - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int payload_length(uint8_t type) {
    switch (type) {
        case MSG_MOUSE_MOVE: return 4;
        case MSG_MOUSE_BUTTON: return 2;
        case MSG_SCROLL: return 2;
        case MSG_KEY: return 3;
        case MSG_TEXT: return 4;
        default: return -1;
    }
}

ControlMessage decode_message(uint8_t type, const uint8_t* p) {
    switch (type) {
        case MSG_MOUSE_MOVE: return MoveMessage{be16(p), be16(p + 2)};
        case MSG_MOUSE_BUTTON: return ButtonMessage{p[0], p[1]};
        case MSG_SCROLL: return ScrollMessage{static_cast<int16_t>(be16(p))};
        case MSG_KEY: return KeyMessage{be16(p), p[2]};
        case MSG_TEXT: return TextMessage{{p[0], p[1], p[2]}, p[3]};
        default: return UnknownMessage{type};
    }
}

StreamEnd read_control_stream(const ByteSource& source,
                              const std::function<void(const ControlMessage&)>& onMessage) {
    for (;;) {
        uint8_t type;
        if (source(&type, 1) <= 0) return StreamEnd::EndOfInput;
        const int length = payload_length(type);
        if (length < 0) {
            onMessage(UnknownMessage{type});
            continue;
        }
        uint8_t payload[kMaxPayload];
        if (!read_exactly(source, payload, static_cast<size_t>(length))) return StreamEnd::Truncated;
        onMessage(decode_message(type, payload));
    }
}

ByteSource fd_byte_source(int fd) {
    // A message is read in two parts, a byte and its payload: one system call
    // each would cost more than the message (under Wine, two round trips to
    // its server a call). What has come is read at once, and handed out from
    // here; a read still returns as soon as anything has come.
    struct Buffered {
        uint8_t data[4096];
        size_t at = 0, end = 0;
    };
    auto buffered = std::make_shared<Buffered>();
    return [fd, buffered](uint8_t* buffer, size_t size) -> ssize_t {
        Buffered& b = *buffered;
        while (b.at == b.end) {
            const ssize_t n = read(fd, b.data, sizeof b.data);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return n;
            b.at = 0;
            b.end = static_cast<size_t>(n);
        }
        const size_t n = std::min(size, b.end - b.at);
        std::memcpy(buffer, b.data + b.at, n);
        b.at += n;
        return static_cast<ssize_t>(n);
    };
}
