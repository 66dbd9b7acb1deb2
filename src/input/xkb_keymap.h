#pragma once

#include <cstdint>
#include <map>
#include <string>


// The keymap the virtual keyboard brings with it, as XKB text: every key the
// key map can produce with its US symbols, and spare keys lent to characters
// typed as text. Keysyms are X11/XKB numbers (input/keysyms.h).

// The keyboard's own keys sit at their evdev code + 8, as in every XKB
// keymap of Linux; the spare keys above them, up to the last XKB keycode. A
// compositor takes evdev codes: XKB - 8.
constexpr uint8_t kFirstSpareKeycode = 0x80 + 9;
constexpr uint8_t kLastKeycode = 255;
constexpr uint32_t kEvdevOffset = 8;

constexpr uint8_t xkb_keycode_for_evdev(uint16_t evdevCode) { return static_cast<uint8_t>(evdevCode + kEvdevOffset); }

// Real modifier masks as a Wayland keyboard's modifiers carry them.
constexpr uint32_t kModShift = 1, kModLock = 2, kModControl = 4, kModMod1 = 8, kModMod4 = 64;

// The real modifier a key with `keysym` sets: Shift, Lock (Caps Lock),
// Control, Mod1 (Alt) or Mod4 (Super); 0 for other keys.
uint32_t xkb_modifier_mask(uint32_t keysym);

// The keyboard's modifier state for the ModifierBit mask of an action
// (input_action.h): each held modifier as this keymap's key for it sets it,
// Caps Lock locked.
struct XkbModifiers {
    uint32_t depressed = 0;
    uint32_t locked = 0;
};
XkbModifiers xkb_modifiers_for(uint8_t modifiers);

// The keymap, with `spareSymbols` (XKB keycode -> keysym) on spare keys.
std::string xkb_keymap_text(const std::map<uint8_t, uint32_t>& spareSymbols);
