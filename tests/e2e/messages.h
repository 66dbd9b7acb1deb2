#pragma once

#include "support/child.h"

// The real helper, at `fps`, and the control messages a controller sends it.
inline std::vector<std::string> helper_args(const std::string& fps = "30") { return {HELPER_PATH, fps}; }

inline Bytes move_to(uint16_t x, uint16_t y) { return {0x01, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)}; }
inline Bytes button(uint8_t b, uint8_t action) { return {0x02, b, action}; }
inline Bytes scroll(int16_t lines) { return {0x03, uint8_t(uint16_t(lines) >> 8), uint8_t(lines)}; }
inline Bytes key(uint16_t vk, uint8_t action) { return {0x04, uint8_t(vk >> 8), uint8_t(vk), action}; }
inline Bytes text(uint32_t cp, uint8_t action) { return {0x05, uint8_t(cp >> 16), uint8_t(cp >> 8), uint8_t(cp), action}; }
