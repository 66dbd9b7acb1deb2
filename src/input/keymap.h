#pragma once

#include <cstdint>
#include <optional>

// AWT virtual key code (as the controller's Java side names keys) to macOS
// virtual key code. Nothing when the key is not in the map. Letter A maps to
// key code 0, a real key.
std::optional<uint16_t> awt_to_mac_keycode(uint16_t vk);

// What else a key of the US layout is called: its Linux input event code
// (KEY_*) and its Windows virtual key (VK_*), by macOS key code. Nothing for
// a code the key map never produces.
struct UsKeyCodes {
    uint16_t evdev;
    uint16_t windowsVirtualKey;
};
std::optional<UsKeyCodes> us_key_codes(uint16_t macKeyCode);
