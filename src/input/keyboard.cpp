#include "input/keyboard.h"

#include <algorithm>
#include <type_traits>

#include "input/input_action.h"
#include "input/keymap.h"

namespace {

// More characters than anyone holds at once; keeps a flood of presses bounded.
constexpr size_t kMaxHeldText = 32;

constexpr uint16_t kCommandKey = 0x37;
constexpr uint16_t kShiftKey = 0x38;
constexpr uint16_t kCapsLockKey = 0x39;
constexpr uint16_t kOptionKey = 0x3A;

constexpr uint16_t kAwtCapsLock = 20;

// The modifier keys, as Quartz flags and as ModifierBit.
struct Modifier {
    uint16_t key;
    uint64_t quartzFlag;
    uint8_t bit;
};
constexpr Modifier kModifiers[] = {
    {kShiftKey, kFlagShift, kModifierShift},
    {kOptionKey, kFlagAlternate, kModifierAlt},
    {kCommandKey, kFlagCommand, kModifierControl},
};

// The Quartz flag mask of the modifiers the remote user holds now.
uint64_t modifier_flags(const KeyboardState& state) {
    uint64_t flags = state.capsLock ? kFlagAlphaShift : 0;
    for (const Modifier& m : kModifiers) flags |= state.keyDown[m.key] ? m.quartzFlag : 0;
    return flags;
}

}  // namespace

uint8_t held_modifiers(const KeyboardState& state) {
    uint8_t bits = state.capsLock ? kModifierCapsLock : 0;
    for (const Modifier& m : kModifiers) bits |= state.keyDown[m.key] ? m.bit : 0;
    return bits;
}

std::optional<KeyEvent> key_event(KeyboardState& state, uint16_t vk, uint8_t action) {
    const auto code = awt_to_mac_keycode(vk);
    if (!code) return std::nullopt;
    const bool down = action == 1;
    if (*code < std::size(state.keyDown)) state.keyDown[*code] = down;
    if (*code == kCapsLockKey && down) state.capsLock = !state.capsLock;
    return KeyEvent{*code, down};
}

void apply_modifier_flags(const KeyboardState& state, InputEvent& event) {
    std::visit(
        [&](auto& e) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(e)>, TextEvent>) e.flags = modifier_flags(state);
        },
        event);
}

std::optional<TextEvent> text_event(uint32_t cp, bool keyDown) {
    if (cp > 0x10FFFF) return std::nullopt;
    TextEvent event;
    event.keyDown = keyDown;
    if (cp <= 0xFFFF) {
        // Lone surrogates pass through unchanged.
        event.units[0] = static_cast<uint16_t>(cp);
        event.units[1] = 0;
        event.unitCount = 1;
    } else {
        event.units[0] = static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10));
        event.units[1] = static_cast<uint16_t>(0xDC00 | (cp & 0x3FF));
        event.unitCount = 2;
    }
    return event;
}

bool track_text(KeyboardState& state, uint32_t codePoint, bool keyDown) {
    auto& held = state.heldText;
    const auto it = std::find(held.begin(), held.end(), codePoint);
    if (!keyDown) {
        if (it == held.end()) return false;
        held.erase(it);
        return true;
    }
    if (it != held.end()) return true;  // a repeat while held
    if (held.size() >= kMaxHeldText) return false;
    held.push_back(codePoint);
    return true;
}

void release_held_keys(KeyboardState& state, void (*post)(const InputEvent&)) {
    for (uint16_t code = 0; code < std::size(state.keyDown); ++code) {
        if (!state.keyDown[code]) continue;
        state.keyDown[code] = false;
        post(KeyEvent{code, false});
    }
    // The lock outlives the session otherwise: the local user would type capitals.
    if (state.capsLock) {
        post(*key_event(state, kAwtCapsLock, 1));
        post(*key_event(state, kAwtCapsLock, 0));
    }
    for (const uint32_t cp : state.heldText) post(*text_event(cp, false));
    state.heldText.clear();
}
