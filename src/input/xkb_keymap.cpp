#include "input/xkb_keymap.h"

#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "input/input_action.h"
#include "input/keymap.h"
#include "input/keysyms.h"

namespace {

// Each unshifted character of a US keyboard followed by its shifted one.
constexpr std::string_view kUsShiftPairs = "1!2@3#4$5%6^7&8*9(0),<.>/?;:'\"[{]}\\|`~-_=+";

// The symbol Shift gives on the key whose plain symbol is `keysym`; kNoSymbol
// where Shift changes nothing.
uint32_t us_shifted(uint32_t keysym) {
    if (keysym >= 'a' && keysym <= 'z') return keysym - 'a' + 'A';
    for (size_t i = 0; i + 1 < kUsShiftPairs.size(); i += 2) {
        if (uint32_t(uint8_t(kUsShiftPairs[i])) == keysym) return uint8_t(kUsShiftPairs[i + 1]);
    }
    return kNoSymbol;
}

// Only the key types and actions these keys use, spelled out: the compositor
// compiles the keymap again for every character that gets a key, and every
// client once more, and "complete" would have them parse the system's whole
// set of types and actions each time (several times slower, a keymap twice
// the size). xkbcommon gives one-level keys ONE_LEVEL, a lower- and
// upper-case letter ALPHABETIC (Caps Lock counts), other pairs TWO_LEVEL.
constexpr const char* kTypesAndActions = R"(  xkb_types "screenshare" {
    type "ONE_LEVEL" { modifiers = none; level_name[Level1] = "Any"; };
    type "TWO_LEVEL" { modifiers = Shift; map[Shift] = Level2; level_name[Level1] = "Base"; level_name[Level2] = "Shift"; };
    type "ALPHABETIC" {
      modifiers = Shift + Lock; map[Shift] = Level2; map[Lock] = Level2;
      level_name[Level1] = "Base"; level_name[Level2] = "Caps";
    };
  };
  xkb_compatibility "screenshare" {
    interpret Caps_Lock { action = LockMods(modifiers = Lock); };
    interpret Any + AnyOf(all) { action = SetMods(modifiers = modMapMods, clearLocks); };
  };
)";

std::string key_name(uint8_t keycode) { return "<K" + std::to_string(keycode) + ">"; }

// Numbers, not names: xkbcommon reads a bare number below 10 as a digit, so
// every keysym is written in hex.
std::string key_line(uint8_t keycode, uint32_t plain, uint32_t shifted) {
    char syms[32];
    if (shifted == kNoSymbol) {
        snprintf(syms, sizeof syms, "0x%x", plain);
    } else {
        snprintf(syms, sizeof syms, "0x%x, 0x%x", plain, shifted);
    }
    return "    key " + key_name(keycode) + " { [ " + syms + " ] };\n";
}

struct Key {
    uint8_t keycode;
    uint32_t plain;
    uint32_t shifted;
};

std::vector<Key> keys_of(const std::map<uint8_t, uint32_t>& spareSymbols) {
    std::vector<Key> keys;
    for (uint16_t mac = 0; mac < 0x80; ++mac) {
        const uint32_t keysym = mac_keycode_to_keysym(mac);
        const auto codes = us_key_codes(mac);
        if (keysym != kNoSymbol && codes) keys.push_back({xkb_keycode_for_evdev(codes->evdev), keysym, us_shifted(keysym)});
    }
    // One level: the character arrives as itself whatever modifiers are held.
    for (const auto& [keycode, keysym] : spareSymbols) keys.push_back({keycode, keysym, kNoSymbol});
    return keys;
}

std::string modifier_maps(const std::vector<Key>& keys) {
    const std::pair<const char*, uint32_t> modifiers[] = {
        {"Shift", kModShift}, {"Lock", kModLock}, {"Control", kModControl}, {"Mod1", kModMod1}, {"Mod4", kModMod4}};
    std::string text;
    for (const auto& [name, mask] : modifiers) {
        std::string members;
        for (const Key& k : keys) {
            if (xkb_modifier_mask(k.plain) == mask) members += (members.empty() ? "" : ", ") + key_name(k.keycode);
        }
        if (!members.empty()) text += std::string("    modifier_map ") + name + " { " + members + " };\n";
    }
    return text;
}

}  // namespace

uint32_t xkb_modifier_mask(uint32_t keysym) {
    switch (keysym) {
        case 0xFFE1: case 0xFFE2: return kModShift;    // Shift_L, Shift_R
        case 0xFFE5: return kModLock;                  // Caps_Lock
        case 0xFFE3: case 0xFFE4: return kModControl;  // Control_L, Control_R
        case 0xFFE9: case 0xFFEA: return kModMod1;     // Alt_L, Alt_R
        case 0xFFEB: case 0xFFEC: return kModMod4;     // Super_L, Super_R
        default: return 0;
    }
}

XkbModifiers xkb_modifiers_for(uint8_t modifiers) {
    // The keys of this keymap for them: Shift_L, Control_L and Alt_L.
    const std::pair<uint8_t, uint32_t> held[] = {
        {kModifierShift, 0xFFE1}, {kModifierControl, 0xFFE3}, {kModifierAlt, 0xFFE9}};
    XkbModifiers m;
    for (const auto& [bit, keysym] : held) {
        if (modifiers & bit) m.depressed |= xkb_modifier_mask(keysym);
    }
    if (modifiers & kModifierCapsLock) m.locked = kModLock;
    return m;
}

std::string xkb_keymap_text(const std::map<uint8_t, uint32_t>& spareSymbols) {
    const std::vector<Key> keys = keys_of(spareSymbols);
    std::string text = "xkb_keymap {\n  xkb_keycodes \"screenshare\" {\n    minimum = 8;\n    maximum = 255;\n";
    for (const Key& k : keys) text += "    " + key_name(k.keycode) + " = " + std::to_string(k.keycode) + ";\n";
    text += "  };\n";
    text += kTypesAndActions;
    text += "  xkb_symbols \"screenshare\" {\n";
    for (const Key& k : keys) text += key_line(k.keycode, k.plain, k.shifted);
    return text + modifier_maps(keys) + "  };\n};\n";
}
