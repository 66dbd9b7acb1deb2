#include "input/lowering.h"

#include <algorithm>

#include "input/keymap.h"
#include "input/keysyms.h"

namespace {

struct Lowering {
    const LoweringContext& context;
    InputActions out;

    void add(decltype(InputAction::what) what) {
        out.items[out.count++] = InputAction{what, context.modifiers};
    }

    void operator()(const MouseEvent& e) {
        const PointerTo to{static_cast<int32_t>(e.x), static_cast<int32_t>(e.y)};
        // A press before any move happens where the event says (the origin):
        // the pointer is sent there first.
        if (moves_pointer_only(e.type) || !context.pointerPlaced) add(to);
        if (moves_pointer_only(e.type)) return;
        const PointerButton button = e.button == MouseButton::Left    ? PointerButton::Left
                                     : e.button == MouseButton::Right ? PointerButton::Right
                                                                      : PointerButton::Other;
        add(ButtonChange{button, presses_button(e.type), static_cast<int32_t>(e.clickState.value_or(1))});
    }
    void operator()(const ScrollEvent& e) {
        const int32_t steps = std::clamp(e.delta, -kMaxScrollClicks, kMaxScrollClicks);
        if (steps != 0) add(WheelSteps{steps});
    }
    void operator()(const KeyEvent& e) {
        const uint32_t keysym = mac_keycode_to_keysym(e.keyCode);
        const auto codes = us_key_codes(e.keyCode);
        if (keysym == kNoSymbol || !codes) return;
        add(KeyChange{keysym, codes->evdev, codes->windowsVirtualKey, e.keyDown});
    }
    void operator()(const TextEvent& e) {
        const uint32_t cp = utf16_to_code_point(e.units, e.unitCount);
        if (cp <= 0x10FFFF) add(CharacterChange{cp, e.keyDown});
    }
};

}  // namespace

InputActions lower_event(const InputEvent& event, const LoweringContext& context) {
    Lowering lowering{context, {}};
    std::visit(lowering, event);
    return lowering.out;
}
