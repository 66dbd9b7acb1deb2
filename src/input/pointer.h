#pragma once

#include <cstdint>

#include "input/input_event.h"

// Pointer rules: plain moves vs drags, and double/triple click counting.

struct Point {
    double x = 0;
    double y = 0;
};

struct PointerState {
    Point mouse;  // last position received in a move
    bool placed = false;  // a position has been posted (a press without a move posts one)
    bool leftDown = false;
    bool rightDown = false;
    // Not used for drags; only so that a button left held can be let go.
    bool otherDown = false;
    Point lastLeftClickPos;
    uint64_t lastLeftClickNs = 0;
    int32_t leftClickCount = 0;
};

// Presses closer than this (squared distance) and sooner than this count on.
constexpr double kClickDistanceSquared = 25.0;
constexpr uint64_t kClickIntervalNs = 500'000'000;

MouseEvent pointer_move(PointerState& state, uint16_t x, uint16_t y);

// `nowNs` is the monotonic clock at the message, used for left presses only.
MouseEvent pointer_button(PointerState& state, uint8_t button, uint8_t action, uint64_t nowNs);

ScrollEvent pointer_scroll(int16_t delta);

// Releases for every button the state holds, clearing them.
void release_held_buttons(PointerState& state, void (*post)(const InputEvent&));

