#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <variant>

// The control channel on stdin: one type byte, then a payload whose length is
// fixed by the type, multi-byte fields big-endian. Nothing is sent back.

constexpr uint8_t MSG_MOUSE_MOVE = 0x01;
constexpr uint8_t MSG_MOUSE_BUTTON = 0x02;
constexpr uint8_t MSG_SCROLL = 0x03;
constexpr uint8_t MSG_KEY = 0x04;
constexpr uint8_t MSG_TEXT = 0x05;

constexpr size_t kMaxPayload = 4;

struct MoveMessage {
    uint16_t x;
    uint16_t y;
};
struct ButtonMessage {
    uint8_t button;  // 1 left, 2 right, anything else another button
    uint8_t action;  // 1 press, anything else release
};
struct ScrollMessage {
    int16_t delta;  // lines
};
struct KeyMessage {
    uint16_t vk;  // AWT virtual key code
    uint8_t action;
};
struct TextMessage {
    uint8_t codePoint[3];  // 24-bit big-endian code point, as received
    uint8_t action;
};
// A type byte the protocol does not know; it carries no payload.
struct UnknownMessage {
    uint8_t type;
};

using ControlMessage =
    std::variant<MoveMessage, ButtonMessage, ScrollMessage, KeyMessage, TextMessage, UnknownMessage>;

// Payload length of a known type; -1 for an unknown one.
int payload_length(uint8_t type);

// Decodes a complete payload of `type` (payload_length(type) bytes).
ControlMessage decode_message(uint8_t type, const uint8_t* payload);

// Reads up to `size` bytes into `buffer` like read(2): > 0 bytes read,
// 0 end of input, < 0 an error.
using ByteSource = std::function<ssize_t(uint8_t* buffer, size_t size)>;

enum class StreamEnd {
    EndOfInput,  // end of input (or a read error) where a type byte was due
    Truncated,   // end of input (or a read error) inside a payload
};

// Frames messages from `source` one after another and hands each, unknown
// types included, to `onMessage`, until the input ends. An unknown type byte
// is followed directly by the next type byte: there is no resynchronisation.
StreamEnd read_control_stream(const ByteSource& source,
                              const std::function<void(const ControlMessage&)>& onMessage);

// A ByteSource on a file descriptor, read a buffer at a time; reads
// interrupted by a signal are retried.
ByteSource fd_byte_source(int fd);
