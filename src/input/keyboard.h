#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "input/input_event.h"

// Key and text rules, and which keys and characters the remote user holds.

struct KeyboardState {
    bool keyDown[128] = {};  // by macOS key code (all mapped codes are below 0x80)
    // Characters pressed through text messages and not yet released.
    std::vector<TextEvent> heldText;
    bool capsLock = false;  // alpha-shift, toggled by each Caps Lock press
};

// Puts the held modifiers on a key, mouse or scroll event; text events keep
// their flags cleared.
void apply_modifier_flags(const KeyboardState& state, InputEvent& event);

// A key message: the key event, or nothing for an unmapped code (the caller
// logs it). Its modifier flags are put on when it is posted, as for every event.
std::optional<KeyEvent> key_event(KeyboardState& state, uint16_t vk, uint8_t action);

// The UTF-16 form of a code point. Nothing above U+10FFFF: such a value is no
// character, and its surrogate arithmetic would name an unrelated one.
std::optional<TextEvent> text_event(uint32_t codePoint, bool keyDown);

// Records a text press or release in `state`.
void track_text(KeyboardState& state, const TextEvent& event);

// Releases for every key and character the state holds, clearing them and
// the modifier flags.
void release_held_keys(KeyboardState& state, void (*post)(const InputEvent&));
