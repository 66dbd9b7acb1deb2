// The virtual keyboard's keymap, compiled by libxkbcommon as a compositor does.

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "input/input_action.h"
#include "input/keymap.h"
#include "input/keysyms.h"
#include "input/xkb_keymap.h"

namespace {

// The state of a fresh keyboard with the keymap; it holds the keymap.
std::shared_ptr<xkb_state> compile(const std::map<uint8_t, uint32_t>& spares = {}) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(context, xkb_keymap_text(spares).c_str(),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::shared_ptr<xkb_state> state(keymap ? xkb_state_new(keymap) : nullptr, xkb_state_unref);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return state;
}

uint32_t sym(xkb_state* state, uint8_t keycode, uint32_t depressed, uint32_t locked = 0) {
    xkb_state_update_mask(state, depressed, 0, locked, 0, 0, 0);
    return xkb_state_key_get_one_sym(state, keycode);
}

// A US keyboard's rows, plain and shifted.
const std::string kPlainRows = "`1234567890-=[]\\;',./", kShiftedRows = "~!@#$%^&*()_+{}|:\"<>?";

TEST(XkbKeymap, EveryKeyGivesItsUsSymbolsAndModifierKeysTheirModifiers) {
    const auto kb = compile();
    ASSERT_TRUE(kb);
    for (uint16_t mac = 0; mac < 0x80; ++mac) {
        const uint32_t plain = mac_keycode_to_keysym(mac);
        if (plain == kNoSymbol) continue;
        const size_t row = plain < 0x80 ? kPlainRows.find(char(plain)) : std::string::npos;
        const bool letter = plain < 0x80 && isalpha(int(plain));
        const uint32_t shifted = row != std::string::npos ? uint8_t(kShiftedRows[row]) : letter ? plain - 32 : plain;
        const uint8_t key = xkb_keycode_for_evdev(us_key_codes(mac)->evdev);
        EXPECT_EQ(std::tuple(sym(kb.get(), key, 0), sym(kb.get(), key, kModShift), sym(kb.get(), key, 0, kModLock)),
                  std::tuple(plain, shifted, letter ? shifted : plain)) << std::hex << mac;
    }
    // Shift, Command (Control here), Option (Alt) and Caps Lock, each pressed alone.
    // The same state comes from the modifiers an action carries while the key is held.
    for (auto [mac, mask, bit] : {std::tuple{0x38, kModShift, kModifierShift}, {0x37, kModControl, kModifierControl},
                                  {0x3A, kModMod1, kModifierAlt}, {0x39, kModLock, kModifierCapsLock}}) {
        const auto fresh = compile();
        xkb_state_update_key(fresh.get(), xkb_keycode_for_evdev(us_key_codes(uint16_t(mac))->evdev), XKB_KEY_DOWN);
        EXPECT_EQ(xkb_state_serialize_mods(fresh.get(), XKB_STATE_MODS_EFFECTIVE), mask) << mac;
        EXPECT_EQ(xkb_modifier_mask(mac_keycode_to_keysym(uint16_t(mac))), mask) << mac;
        const XkbModifiers fromFlags = xkb_modifiers_for(bit);
        EXPECT_EQ(std::pair(fromFlags.depressed, fromFlags.locked), mac == 0x39 ? std::pair(0u, mask) : std::pair(mask, 0u))
            << mac;
    }
}

TEST(XkbKeymap, SpareKeysTypeTheirCharacterWhateverShiftSays) {
    const std::tuple<uint8_t, uint32_t, std::string> spares[] = {
        {kFirstSpareKeycode, 0xE9, "é"}, {200, 0x65E5, "日"}, {kLastKeycode, 0x1F600, "😀"}, {201, 'x', "x"}};
    std::map<uint8_t, uint32_t> symbols;
    for (const auto& [key, cp, text] : spares) symbols[key] = code_point_to_keysym(cp);
    const auto kb = compile(symbols);
    ASSERT_TRUE(kb);
    for (const auto& [key, cp, text] : spares) {
        char utf8[8] = {};
        EXPECT_EQ(sym(kb.get(), key, kModShift), symbols[key]) << text;
        xkb_state_key_get_utf8(kb.get(), key, utf8, sizeof utf8);
        EXPECT_EQ(utf8, text);
    }
}

}  // namespace
