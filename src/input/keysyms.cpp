#include "input/keysyms.h"

#include <utility>

namespace {

// {macOS key code, keysym}: the keys the AWT key map can produce.
constexpr std::pair<uint16_t, uint32_t> kMacToKeysym[] = {
    // Letters.
    {0x00, 'a'}, {0x0B, 'b'}, {0x08, 'c'}, {0x02, 'd'}, {0x0E, 'e'}, {0x03, 'f'}, {0x05, 'g'},
    {0x04, 'h'}, {0x22, 'i'}, {0x26, 'j'}, {0x28, 'k'}, {0x25, 'l'}, {0x2E, 'm'}, {0x2D, 'n'},
    {0x1F, 'o'}, {0x23, 'p'}, {0x0C, 'q'}, {0x0F, 'r'}, {0x01, 's'}, {0x11, 't'}, {0x20, 'u'},
    {0x09, 'v'}, {0x0D, 'w'}, {0x07, 'x'}, {0x10, 'y'}, {0x06, 'z'},
    // Digits.
    {0x1D, '0'}, {0x12, '1'}, {0x13, '2'}, {0x14, '3'}, {0x15, '4'}, {0x17, '5'}, {0x16, '6'},
    {0x1A, '7'}, {0x1C, '8'}, {0x19, '9'},
    // Punctuation.
    {0x2B, ','}, {0x1B, '-'}, {0x2F, '.'}, {0x2C, '/'}, {0x29, ';'}, {0x18, '='}, {0x21, '['},
    {0x2A, '\\'}, {0x1E, ']'}, {0x32, '`'}, {0x27, '\''}, {0x31, ' '},
    // Editing, navigation, modifiers.
    {0x33, 0xFF08 /* BackSpace */}, {0x30, 0xFF09 /* Tab */}, {0x24, 0xFF0D /* Return */},
    {0x35, 0xFF1B /* Escape */}, {0x75, 0xFFFF /* Delete */}, {0x73, 0xFF50 /* Home */},
    {0x7B, 0xFF51 /* Left */}, {0x7E, 0xFF52 /* Up */}, {0x7C, 0xFF53 /* Right */},
    {0x7D, 0xFF54 /* Down */}, {0x74, 0xFF55 /* Prior */}, {0x79, 0xFF56 /* Next */},
    {0x77, 0xFF57 /* End */}, {0x38, 0xFFE1 /* Shift_L */}, {0x37, 0xFFE3 /* Control_L */},
    {0x39, 0xFFE5 /* Caps_Lock */}, {0x3A, 0xFFE9 /* Alt_L */},
    // F1 to F12.
    {0x7A, 0xFFBE}, {0x78, 0xFFBF}, {0x63, 0xFFC0}, {0x76, 0xFFC1}, {0x60, 0xFFC2}, {0x61, 0xFFC3},
    {0x62, 0xFFC4}, {0x64, 0xFFC5}, {0x65, 0xFFC6}, {0x6D, 0xFFC7}, {0x67, 0xFFC8}, {0x6F, 0xFFC9},
};

}  // namespace

uint32_t mac_keycode_to_keysym(uint16_t macKeyCode) {
    for (const auto& [mac, keysym] : kMacToKeysym) {
        if (mac == macKeyCode) return keysym;
    }
    return kNoSymbol;
}

uint32_t code_point_to_keysym(uint32_t cp) {
    switch (cp) {
        case 0x08: return 0xFF08;
        case 0x09: return 0xFF09;
        case 0x0A:
        case 0x0D: return 0xFF0D;
        case 0x1B: return 0xFF1B;
        case 0x7F: return 0xFFFF;
        default: break;
    }
    if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) return cp;
    if (cp < 0x20 || (cp >= 0x80 && cp < 0xA0) || cp > 0x10FFFF) return kNoSymbol;
    return 0x01000000 + cp;
}

uint32_t utf16_to_code_point(const uint16_t* units, uint32_t count) {
    if (count == 1) return units[0];
    if (count == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF && units[1] >= 0xDC00 && units[1] <= 0xDFFF) {
        return 0x10000 + ((uint32_t{units[0]} - 0xD800) << 10) + (uint32_t{units[1]} - 0xDC00);
    }
    return 0xFFFFFFFF;
}
