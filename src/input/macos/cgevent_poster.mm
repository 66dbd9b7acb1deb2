// Posts input events at the session event tap with CoreGraphics. Every value
// comes from the event as decided by the input core; this file only makes
// the calls.

#import <ApplicationServices/ApplicationServices.h>

#include <algorithm>
#include <iterator>
#include <type_traits>
#include <variant>

#include "input/event_flags.h"
#include "input/macos/quartz_input.h"

// The input core speaks Quartz numbers already; a cast is all that is needed.
static_assert(static_cast<CGEventType>(MouseEventType::LeftMouseDown) == kCGEventLeftMouseDown);
static_assert(static_cast<CGEventType>(MouseEventType::LeftMouseUp) == kCGEventLeftMouseUp);
static_assert(static_cast<CGEventType>(MouseEventType::RightMouseDown) == kCGEventRightMouseDown);
static_assert(static_cast<CGEventType>(MouseEventType::RightMouseUp) == kCGEventRightMouseUp);
static_assert(static_cast<CGEventType>(MouseEventType::MouseMoved) == kCGEventMouseMoved);
static_assert(static_cast<CGEventType>(MouseEventType::LeftMouseDragged) == kCGEventLeftMouseDragged);
static_assert(static_cast<CGEventType>(MouseEventType::RightMouseDragged) == kCGEventRightMouseDragged);
static_assert(static_cast<CGEventType>(MouseEventType::OtherMouseDown) == kCGEventOtherMouseDown);
static_assert(static_cast<CGEventType>(MouseEventType::OtherMouseUp) == kCGEventOtherMouseUp);
static_assert(static_cast<CGMouseButton>(MouseButton::Left) == kCGMouseButtonLeft);
static_assert(static_cast<CGMouseButton>(MouseButton::Right) == kCGMouseButtonRight);
static_assert(static_cast<CGMouseButton>(MouseButton::Center) == kCGMouseButtonCenter);
static_assert(static_cast<CGScrollEventUnit>(kScrollUnitLine) == kCGScrollEventUnitLine);
static_assert(std::is_same_v<std::remove_extent_t<decltype(TextEvent::units)>, UniChar>);
static_assert(kFlagAlphaShift == kCGEventFlagMaskAlphaShift);
static_assert(kFlagShift == kCGEventFlagMaskShift);
static_assert(kFlagAlternate == kCGEventFlagMaskAlternate);
static_assert(kFlagCommand == kCGEventFlagMaskCommand);
static_assert(kFlagControl == kCGEventFlagMaskControl);
static_assert(kFlagNonCoalesced == kCGEventFlagMaskNonCoalesced);

namespace {

// Keeps the bits the event was made with; only its modifiers are replaced.
void set_modifier_flags(CGEventRef event, uint64_t held) {
    CGEventSetFlags(event, posted_event_flags(CGEventGetFlags(event), held));
}

CGEventRef create_event(const MouseEvent& e) {
    CGEventRef event = CGEventCreateMouseEvent(NULL, static_cast<CGEventType>(e.type),
                                               CGPointMake(e.x, e.y), static_cast<CGMouseButton>(e.button));
    if (!event) return NULL;
    if (e.clickState) CGEventSetIntegerValueField(event, kCGMouseEventClickState, *e.clickState);
    set_modifier_flags(event, e.flags);
    return event;
}

CGEventRef create_event(const ScrollEvent& e) {
    CGEventRef event = CGEventCreateScrollWheelEvent(NULL, static_cast<CGScrollEventUnit>(e.units),
                                                     e.wheelCount, e.delta);
    if (event) set_modifier_flags(event, e.flags);
    return event;
}

CGEventRef create_event(const KeyEvent& e) {
    CGEventRef event = CGEventCreateKeyboardEvent(NULL, e.keyCode, e.keyDown);
    if (event) set_modifier_flags(event, e.flags);
    return event;
}

CGEventRef create_event(const TextEvent& e) {
    CGEventRef event = CGEventCreateKeyboardEvent(NULL, e.keyCode, e.keyDown);
    if (!event) return NULL;
    // Never more units than the event holds, whatever the count says.
    CGEventKeyboardSetUnicodeString(event, std::min<UniCharCount>(e.unitCount, std::size(e.units)), e.units);
    set_modifier_flags(event, e.flags);
    return event;
}

}  // namespace

void macos::post_quartz_event(const InputEvent& event) {
    CGEventRef e = std::visit([](const auto& value) { return create_event(value); }, event);
    // An event the platform could not make is neither posted nor released.
    if (!e) return;
    CGEventPost(kCGSessionEventTap, e);
    CFRelease(e);
}
