#pragma once

// The control messages a controller writes to the helper's stdin: a type
// byte, then a fixed-length payload, multi-byte fields big-endian.

#include <cstdint>

#include "controller/bytes.h"

namespace controller {

inline constexpr uint8_t MSG_MOUSE_MOVE = 0x01;
inline constexpr uint8_t MSG_MOUSE_BUTTON = 0x02;
inline constexpr uint8_t MSG_SCROLL = 0x03;
inline constexpr uint8_t MSG_KEY = 0x04;
inline constexpr uint8_t MSG_TEXT = 0x05;

// The action byte of button, key and text messages: 1 presses, any other value releases.
inline constexpr uint8_t kRelease = 0, kPress = 1;
// Buttons: any value but these two is another button (the middle one on X11).
inline constexpr uint8_t kLeftButton = 1, kRightButton = 2;

// To (x, y) in frame pixels (points on macOS).
inline Bytes move_to(uint16_t x, uint16_t y) {
    return {MSG_MOUSE_MOVE, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)};
}
inline Bytes button(uint8_t button, uint8_t action) { return {MSG_MOUSE_BUTTON, button, action}; }
// `lines` steps of the vertical wheel, the sign passed through.
inline Bytes scroll(int16_t lines) { return {MSG_SCROLL, uint8_t(uint16_t(lines) >> 8), uint8_t(lines)}; }
// A physical key, by its AWT virtual key code.
inline Bytes key(uint16_t vk, uint8_t action) { return {MSG_KEY, uint8_t(vk >> 8), uint8_t(vk), action}; }
// A character, by its code point (24 bits on the wire).
inline Bytes text(uint32_t codePoint, uint8_t action) {
    return {MSG_TEXT, uint8_t(codePoint >> 16), uint8_t(codePoint >> 8), uint8_t(codePoint), action};
}

// Several messages go out in one write: the helper reads them in order either way.
inline void append(Bytes& out, const Bytes& message) { out.insert(out.end(), message.begin(), message.end()); }

}  // namespace controller
