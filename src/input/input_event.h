#pragma once

#include <cstdint>
#include <optional>
#include <variant>

// Input events as plain values: everything the protocol decided (type,
// position, button, click state, key code, text) is in the value, as Quartz
// numbers. macOS posts them as they are; the lowering (input/lowering.h)
// turns each into what every other platform posts.

// Quartz event type numbers.
enum class MouseEventType : uint32_t {
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    RightMouseDown = 3,
    RightMouseUp = 4,
    MouseMoved = 5,
    LeftMouseDragged = 6,
    RightMouseDragged = 7,
    OtherMouseDown = 25,
    OtherMouseUp = 26,
};

// What a mouse event does on a platform without Quartz's event types: a
// move or a drag only moves the pointer; every other type presses or
// releases its button.
constexpr bool moves_pointer_only(MouseEventType type) {
    return type == MouseEventType::MouseMoved || type == MouseEventType::LeftMouseDragged ||
           type == MouseEventType::RightMouseDragged;
}
constexpr bool presses_button(MouseEventType type) {
    return type == MouseEventType::LeftMouseDown || type == MouseEventType::RightMouseDown ||
           type == MouseEventType::OtherMouseDown;
}

enum class MouseButton : uint32_t { Left = 0, Right = 1, Center = 2 };

// Quartz modifier flag masks (kCGEventFlagMask...). An event made without an
// event source does not reliably carry the modifiers that earlier key events
// pressed, so key, mouse and scroll events say which ones are held.
constexpr uint64_t kFlagAlphaShift = 0x00010000;
constexpr uint64_t kFlagShift = 0x00020000;
constexpr uint64_t kFlagAlternate = 0x00080000;
constexpr uint64_t kFlagCommand = 0x00100000;

struct MouseEvent {
    MouseEventType type;
    double x;
    double y;
    MouseButton button;
    // Set on button events only; moves and drags carry none.
    std::optional<int64_t> clickState;
    uint64_t flags = 0;  // held modifiers
};

constexpr uint32_t kScrollUnitLine = 1;

struct ScrollEvent {
    uint32_t units = kScrollUnitLine;
    uint32_t wheelCount = 1;
    int32_t delta;  // lines on the first (vertical) wheel, sign as received
    uint64_t flags = 0;  // held modifiers
};

struct KeyEvent {
    uint16_t keyCode;  // macOS virtual key code
    bool keyDown;
    uint64_t flags = 0;  // held modifiers, this key's own change included
};

struct TextEvent {
    uint16_t keyCode = 0;
    bool keyDown;
    uint16_t units[2];
    uint32_t unitCount;  // 1 or 2
    uint64_t flags = 0;  // text events always have their modifier flags cleared
};

using InputEvent = std::variant<MouseEvent, ScrollEvent, KeyEvent, TextEvent>;
