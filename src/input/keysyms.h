#pragma once

#include <cstdint>

// Keysyms (X11/keysymdef.h values) for what the input events carry.

constexpr uint32_t kNoSymbol = 0;

// The keysym at a macOS key code's US position; kNoSymbol for codes the key
// map never produces. Command becomes Control_L so that the controller's Ctrl
// shortcuts stay Ctrl here, Option becomes Alt_L.
uint32_t mac_keycode_to_keysym(uint16_t macKeyCode);

// The keysym that types a character: Latin-1 keysyms equal their code point,
// control characters have function keysyms, everything else is
// 0x01000000 + code point.
uint32_t code_point_to_keysym(uint32_t codePoint);

// The code point of one or two UTF-16 units; nothing valid gives 0xFFFFFFFF.
uint32_t utf16_to_code_point(const uint16_t* units, uint32_t count);
