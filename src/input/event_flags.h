#pragma once

#include <cstdint>

#include "input/input_event.h"

// The flags word an event is posted with. Setting flags replaces the whole
// word, and an event the platform creates carries bits of its own besides
// the modifiers: mouse events are marked not coalesced, arrow and keypad
// keys carry the numeric-pad and function-key bits. Only the
// device-independent modifier bits are ours to decide.

constexpr uint64_t kFlagControl = 0x00040000;
constexpr uint64_t kFlagNonCoalesced = 0x00000100;
constexpr uint64_t kModifierFlagsMask = kFlagAlphaShift | kFlagShift | kFlagControl | kFlagAlternate | kFlagCommand;

// The event's own flags, `created`, with its modifier bits exactly `held`:
// a modifier the platform put on (a key the Mac's own user holds, its Caps
// Lock) is taken off, unless the remote user holds it too.
constexpr uint64_t posted_event_flags(uint64_t created, uint64_t held) {
    return (created & ~kModifierFlagsMask) | (held & kModifierFlagsMask);
}
