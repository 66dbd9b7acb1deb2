#pragma once

#include <cstdint>
#include <variant>

#include "input/input_event.h"

// What a decided event does, in terms that every platform but macOS posts as
// they are: the core lowers each event once, and a poster only hands these
// to its system. macOS posts the Quartz event the core decided.

enum class PointerButton : uint8_t { Left, Right, Other };

// Modifier keys the remote user holds (or the lock they turned on).
enum ModifierBit : uint8_t {
    kModifierShift = 1,
    kModifierControl = 2,  // the Mac's Command, which every other platform calls Control
    kModifierAlt = 4,      // the Mac's Option
    kModifierCapsLock = 8,
};

struct PointerTo {  // the pointer goes to a frame pixel
    int32_t x;
    int32_t y;
};

struct ButtonChange {  // at the pointer's last position
    PointerButton button;
    bool down;
    int32_t clickCount;  // as the core counted it; platforms that count clicks themselves ignore it
};

struct WheelSteps {  // positive scrolls up (X's button 4); never more than kMaxScrollClicks either way
    int32_t steps;
};

struct KeyChange {  // a key of the US layout
    uint32_t keysym;            // its US symbol (X11 keysym)
    uint16_t evdevCode;         // Linux input event code (KEY_*)
    uint16_t windowsVirtualKey; // VK_*
    bool down;
};

struct CharacterChange {  // a typed character, not a key
    uint32_t codePoint;
    bool down;
};

struct InputAction {
    std::variant<PointerTo, ButtonChange, WheelSteps, KeyChange, CharacterChange> what;
    uint8_t modifiers = 0;  // ModifierBit mask held as it happens
};

// One message's worth: a button pressed before any move first puts the
// pointer where the press happens.
struct InputActions {
    InputAction items[2];
    uint8_t count = 0;
};

// What the core hands a backend for each event: the Quartz event as decided
// (macOS posts it) and its lowering (everyone else posts that).
struct PostedInput {
    InputEvent quartz;
    InputActions actions;
};
