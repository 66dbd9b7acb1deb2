#include "input/keymap.h"

#include <array>
#include <utility>

namespace {

// {AWT code, macOS key code}. Control and Windows both become Command, so the
// controller's shortcuts keep working on a Mac; nothing maps to macOS Control.
constexpr std::pair<uint16_t, uint16_t> kKeyMap[] = {
    // Control, navigation and modifier keys.
    {8, 0x33}, {9, 0x30}, {10, 0x24}, {16, 0x38}, {17, 0x37}, {18, 0x3A}, {20, 0x39},
    {27, 0x35}, {32, 0x31}, {33, 0x74}, {34, 0x79}, {35, 0x77}, {36, 0x73}, {37, 0x7B},
    {38, 0x7E}, {39, 0x7C}, {40, 0x7D}, {127, 0x75}, {524, 0x37},
    // Punctuation, US positions.
    {44, 0x2B}, {45, 0x1B}, {46, 0x2F}, {47, 0x2C}, {59, 0x29}, {61, 0x18}, {91, 0x21},
    {92, 0x2A}, {93, 0x1E}, {192, 0x32}, {222, 0x27},
    // Digits 0 to 9.
    {48, 0x1D}, {49, 0x12}, {50, 0x13}, {51, 0x14}, {52, 0x15}, {53, 0x17}, {54, 0x16},
    {55, 0x1A}, {56, 0x1C}, {57, 0x19},
    // Letters A to Z.
    {65, 0x00}, {66, 0x0B}, {67, 0x08}, {68, 0x02}, {69, 0x0E}, {70, 0x03}, {71, 0x05},
    {72, 0x04}, {73, 0x22}, {74, 0x26}, {75, 0x28}, {76, 0x25}, {77, 0x2E}, {78, 0x2D},
    {79, 0x1F}, {80, 0x23}, {81, 0x0C}, {82, 0x0F}, {83, 0x01}, {84, 0x11}, {85, 0x20},
    {86, 0x09}, {87, 0x0D}, {88, 0x07}, {89, 0x10}, {90, 0x06},
    // F1 to F12.
    {112, 0x7A}, {113, 0x78}, {114, 0x63}, {115, 0x76}, {116, 0x60}, {117, 0x61},
    {118, 0x62}, {119, 0x64}, {120, 0x65}, {121, 0x6D}, {122, 0x67}, {123, 0x6F},
};
static_assert(std::size(kKeyMap) == 78);

// {macOS key code, {evdev code, Windows virtual key}} for every key above.
// Modifiers are the left-hand ones, as their keysyms are.
constexpr std::pair<uint16_t, UsKeyCodes> kOtherCodes[] = {
    // Letters A to Z (evdev follows the rows, Windows the alphabet).
    {0x00, {30, 'A'}}, {0x0B, {48, 'B'}}, {0x08, {46, 'C'}}, {0x02, {32, 'D'}}, {0x0E, {18, 'E'}},
    {0x03, {33, 'F'}}, {0x05, {34, 'G'}}, {0x04, {35, 'H'}}, {0x22, {23, 'I'}}, {0x26, {36, 'J'}},
    {0x28, {37, 'K'}}, {0x25, {38, 'L'}}, {0x2E, {50, 'M'}}, {0x2D, {49, 'N'}}, {0x1F, {24, 'O'}},
    {0x23, {25, 'P'}}, {0x0C, {16, 'Q'}}, {0x0F, {19, 'R'}}, {0x01, {31, 'S'}}, {0x11, {20, 'T'}},
    {0x20, {22, 'U'}}, {0x09, {47, 'V'}}, {0x0D, {17, 'W'}}, {0x07, {45, 'X'}}, {0x10, {21, 'Y'}},
    {0x06, {44, 'Z'}},
    // Digits 0 to 9.
    {0x1D, {11, '0'}}, {0x12, {2, '1'}}, {0x13, {3, '2'}}, {0x14, {4, '3'}}, {0x15, {5, '4'}},
    {0x17, {6, '5'}}, {0x16, {7, '6'}}, {0x1A, {8, '7'}}, {0x1C, {9, '8'}}, {0x19, {10, '9'}},
    // Punctuation and space: , - . / ; = [ \ ] ` '
    {0x2B, {51, 0xBC}}, {0x1B, {12, 0xBD}}, {0x2F, {52, 0xBE}}, {0x2C, {53, 0xBF}}, {0x29, {39, 0xBA}},
    {0x18, {13, 0xBB}}, {0x21, {26, 0xDB}}, {0x2A, {43, 0xDC}}, {0x1E, {27, 0xDD}}, {0x32, {41, 0xC0}},
    {0x27, {40, 0xDE}}, {0x31, {57, 0x20}},
    // BackSpace, Tab, Return, Escape, Delete, Home, Left, Up, Right, Down,
    // Page Up, Page Down, End.
    {0x33, {14, 0x08}}, {0x30, {15, 0x09}}, {0x24, {28, 0x0D}}, {0x35, {1, 0x1B}}, {0x75, {111, 0x2E}},
    {0x73, {102, 0x24}}, {0x7B, {105, 0x25}}, {0x7E, {103, 0x26}}, {0x7C, {106, 0x27}}, {0x7D, {108, 0x28}},
    {0x74, {104, 0x21}}, {0x79, {109, 0x22}}, {0x77, {107, 0x23}},
    // Shift, Command (Control), Caps Lock, Option (Alt).
    {0x38, {42, 0xA0}}, {0x37, {29, 0xA2}}, {0x39, {58, 0x14}}, {0x3A, {56, 0xA4}},
    // F1 to F12.
    {0x7A, {59, 0x70}}, {0x78, {60, 0x71}}, {0x63, {61, 0x72}}, {0x76, {62, 0x73}}, {0x60, {63, 0x74}},
    {0x61, {64, 0x75}}, {0x62, {65, 0x76}}, {0x64, {66, 0x77}}, {0x65, {67, 0x78}}, {0x6D, {68, 0x79}},
    {0x67, {87, 0x7A}}, {0x6F, {88, 0x7B}},
};
// Control and Windows share Command: one key fewer than the AWT codes.
static_assert(std::size(kOtherCodes) == std::size(kKeyMap) - 1);

}  // namespace

std::optional<uint16_t> awt_to_mac_keycode(uint16_t vk) {
    for (const auto& [awt, mac] : kKeyMap) {
        if (awt == vk) return mac;
    }
    return std::nullopt;
}

std::optional<UsKeyCodes> us_key_codes(uint16_t macKeyCode) {
    for (const auto& [mac, codes] : kOtherCodes) {
        if (mac == macKeyCode) return codes;
    }
    return std::nullopt;
}
