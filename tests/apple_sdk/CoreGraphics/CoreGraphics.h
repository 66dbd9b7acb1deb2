// CoreGraphics: geometry (CGBase.h, CGGeometry.h), the main display's id
// (CGDirectDisplay.h) and the event services (CGEventTypes.h, CGEvent.h).
#pragma once

#include <stdbool.h>
#include <stdint.h>

#include <CoreFoundation/CoreFoundation.h>

#define CG_EXTERN extern
#define CG_INLINE static inline
#define CG_AVAILABLE_STARTING(v) __attribute__((availability(macos, introduced = v)))

CF_EXTERN_C_BEGIN
CF_ASSUME_NONNULL_BEGIN

typedef double CGFloat;

struct CGPoint {
    CGFloat x;
    CGFloat y;
};
typedef struct CGPoint CGPoint;

CG_INLINE CGPoint CGPointMake(CGFloat x, CGFloat y) {
    CGPoint p;
    p.x = x;
    p.y = y;
    return p;
}

typedef uint32_t CGDirectDisplayID;
CG_EXTERN CGDirectDisplayID CGMainDisplayID(void) CG_AVAILABLE_STARTING(10.2);

typedef struct CF_BRIDGED_TYPE(id) __CGEvent* CGEventRef;
typedef struct CF_BRIDGED_TYPE(id) __CGEventSource* CGEventSourceRef;
typedef uint16_t CGKeyCode;

typedef CF_ENUM(uint32_t, CGEventType){
    kCGEventNull = 0,
    kCGEventLeftMouseDown = 1,
    kCGEventLeftMouseUp = 2,
    kCGEventRightMouseDown = 3,
    kCGEventRightMouseUp = 4,
    kCGEventMouseMoved = 5,
    kCGEventLeftMouseDragged = 6,
    kCGEventRightMouseDragged = 7,
    kCGEventKeyDown = 10,
    kCGEventKeyUp = 11,
    kCGEventFlagsChanged = 12,
    kCGEventScrollWheel = 22,
    kCGEventTabletPointer = 23,
    kCGEventTabletProximity = 24,
    kCGEventOtherMouseDown = 25,
    kCGEventOtherMouseUp = 26,
    kCGEventOtherMouseDragged = 27,
};

typedef CF_ENUM(uint32_t, CGMouseButton){
    kCGMouseButtonLeft = 0,
    kCGMouseButtonRight = 1,
    kCGMouseButtonCenter = 2,
};

typedef CF_ENUM(uint32_t, CGScrollEventUnit){
    kCGScrollEventUnitPixel = 0,
    kCGScrollEventUnitLine = 1,
};

typedef CF_ENUM(uint32_t, CGEventField){
    kCGMouseEventNumber = 0,
    kCGMouseEventClickState = 1,
    kCGMouseEventPressure = 2,
    kCGMouseEventButtonNumber = 3,
};

typedef CF_OPTIONS(uint64_t, CGEventFlags){
    kCGEventFlagMaskAlphaShift = 0x00010000,
    kCGEventFlagMaskShift = 0x00020000,
    kCGEventFlagMaskControl = 0x00040000,
    kCGEventFlagMaskAlternate = 0x00080000,
    kCGEventFlagMaskCommand = 0x00100000,
    kCGEventFlagMaskHelp = 0x00400000,
    kCGEventFlagMaskSecondaryFn = 0x00800000,
    kCGEventFlagMaskNumericPad = 0x00200000,
    kCGEventFlagMaskNonCoalesced = 0x00000100,
};

typedef CF_ENUM(uint32_t, CGEventTapLocation){
    kCGHIDEventTap = 0,
    kCGSessionEventTap,
    kCGAnnotatedSessionEventTap,
};

CG_EXTERN CGEventRef _Nullable CGEventCreateMouseEvent(CGEventSourceRef _Nullable source, CGEventType mouseType,
                                                       CGPoint mouseCursorPosition, CGMouseButton mouseButton)
    CG_AVAILABLE_STARTING(10.4);
CG_EXTERN CGEventRef _Nullable CGEventCreateKeyboardEvent(CGEventSourceRef _Nullable source, CGKeyCode virtualKey,
                                                          bool keyDown) CG_AVAILABLE_STARTING(10.4);
CG_EXTERN CGEventRef _Nullable CGEventCreateScrollWheelEvent(CGEventSourceRef _Nullable source,
                                                             CGScrollEventUnit units, uint32_t wheelCount,
                                                             int32_t wheel1, ...) CG_AVAILABLE_STARTING(10.5);
CG_EXTERN CGEventFlags CGEventGetFlags(CGEventRef _Nullable event) CG_AVAILABLE_STARTING(10.4);
CG_EXTERN void CGEventSetFlags(CGEventRef _Nullable event, CGEventFlags flags) CG_AVAILABLE_STARTING(10.4);
CG_EXTERN void CGEventKeyboardSetUnicodeString(CGEventRef _Nullable event, UniCharCount stringLength,
                                               const UniChar* _Nullable unicodeString)
    CG_AVAILABLE_STARTING(10.4);
CG_EXTERN void CGEventSetIntegerValueField(CGEventRef _Nullable event, CGEventField field, int64_t value)
    CG_AVAILABLE_STARTING(10.4);
CG_EXTERN void CGEventPost(CGEventTapLocation tap, CGEventRef _Nullable event) CG_AVAILABLE_STARTING(10.4);

CF_ASSUME_NONNULL_END
CF_EXTERN_C_END
