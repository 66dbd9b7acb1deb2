#include "input/pointer.h"

namespace {

constexpr uint8_t kLeft = 1;
constexpr uint8_t kRight = 2;
constexpr uint8_t kPress = 1;

MouseEvent at_mouse(const PointerState& s, MouseEventType type, MouseButton button,
                    std::optional<int64_t> clickState) {
    return MouseEvent{type, s.mouse.x, s.mouse.y, button, clickState};
}

int32_t count_left_press(PointerState& s, uint64_t nowNs) {
    const double dx = s.mouse.x - s.lastLeftClickPos.x;
    const double dy = s.mouse.y - s.lastLeftClickPos.y;
    const bool near = dx * dx + dy * dy < kClickDistanceSquared;
    const bool soon = nowNs - s.lastLeftClickNs < kClickIntervalNs;  // unsigned difference
    const int32_t count = near && soon ? s.leftClickCount + 1 : 1;
    s.lastLeftClickNs = nowNs;
    s.leftClickCount = count;
    s.lastLeftClickPos = s.mouse;
    return count;
}

}  // namespace

MouseEvent pointer_move(PointerState& s, uint16_t x, uint16_t y) {
    s.mouse = Point{static_cast<double>(x), static_cast<double>(y)};
    if (s.leftDown) return at_mouse(s, MouseEventType::LeftMouseDragged, MouseButton::Left, std::nullopt);
    if (s.rightDown) return at_mouse(s, MouseEventType::RightMouseDragged, MouseButton::Right, std::nullopt);
    return at_mouse(s, MouseEventType::MouseMoved, MouseButton::Left, std::nullopt);
}

MouseEvent pointer_button(PointerState& s, uint8_t button, uint8_t action, uint64_t nowNs) {
    const bool press = action == kPress;
    if (button == kLeft) {
        s.leftDown = press;
        if (press) {
            return at_mouse(s, MouseEventType::LeftMouseDown, MouseButton::Left, count_left_press(s, nowNs));
        }
        return at_mouse(s, MouseEventType::LeftMouseUp, MouseButton::Left, s.leftClickCount);
    }
    if (button == kRight) {
        s.rightDown = press;
        return at_mouse(s, press ? MouseEventType::RightMouseDown : MouseEventType::RightMouseUp,
                        MouseButton::Right, 1);
    }
    s.otherDown = press;
    return at_mouse(s, press ? MouseEventType::OtherMouseDown : MouseEventType::OtherMouseUp,
                    MouseButton::Center, 1);
}

ScrollEvent pointer_scroll(int16_t delta) {
    ScrollEvent event;
    event.delta = delta;
    return event;
}

void release_held_buttons(PointerState& s, void (*post)(const InputEvent&)) {
    if (s.leftDown) post(pointer_button(s, kLeft, 0, 0));
    if (s.rightDown) post(pointer_button(s, kRight, 0, 0));
    if (s.otherDown) post(pointer_button(s, 0, 0, 0));
}
