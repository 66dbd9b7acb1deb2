#pragma once

#include <cstdint>

#include "input/input_action.h"
#include "input/input_event.h"

// Lowering: what a decided event does in the neutral terms every platform but
// macOS posts (input_action.h). Pure: what it needs of the core's state
// comes in as a value.

// One message may ask for 32767 lines; nobody means that many.
constexpr int32_t kMaxScrollClicks = 64;

struct LoweringContext {
    uint8_t modifiers = 0;       // ModifierBit mask held as the event happens
    bool pointerPlaced = false;  // a pointer position has been posted before
};

// The actions of one event; none for a key outside the US layout's table.
InputActions lower_event(const InputEvent& event, const LoweringContext& context);
