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

}  // namespace

std::optional<uint16_t> awt_to_mac_keycode(uint16_t vk) {
    for (const auto& [awt, mac] : kKeyMap) {
        if (awt == vk) return mac;
    }
    return std::nullopt;
}
