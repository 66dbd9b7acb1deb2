#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "input/input_event.h"

// Key and text rules, and which keys and characters the remote user holds.

struct KeyboardState {
    bool keyDown[128] = {};  // by macOS key code (all mapped codes are below 0x80)
    // Code points of characters pressed through text messages and not yet
    // released: what every platform lets go of at the end.
    std::vector<uint32_t> heldText;
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

// The modifiers held, as ModifierBit (input_action.h): Command is Control
// and Option is Alt outside the Mac.
uint8_t held_modifiers(const KeyboardState& state);

// Records a text press or release of `codePoint` in `state`. False for what
// only macOS posts: a release of a character not held, or a press past the
// number of characters anyone holds at once, whose release would never come.
bool track_text(KeyboardState& state, uint32_t codePoint, bool keyDown);

// Releases for every key and character the state holds, clearing them, and a
// press and release of Caps Lock when the remote user left it on, so that the
// lock is as it was before.
void release_held_keys(KeyboardState& state, void (*post)(const InputEvent&));
