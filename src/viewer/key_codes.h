#pragma once

#include <SDL_keycode.h>

#include <cstdint>
#include <optional>

// SDL key codes as the helper's key messages name them: AWT virtual key
// codes, for the keys the helper knows.

struct AwtKey {
    uint16_t vk;
    // What the key types on a US keyboard, without and with Shift; 0 for keys
    // that type nothing (modifiers, arrows, Enter, ...).
    char plain, shifted;
};

// The key with SDL key code `key` (the symbol of the local layout), or nothing
// for keys the helper has no code for.
std::optional<AwtKey> awt_key(SDL_Keycode key);
