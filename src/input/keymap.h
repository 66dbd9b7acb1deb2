#pragma once

#include <cstdint>
#include <optional>

// AWT virtual key code (as the controller's Java side names keys) to macOS
// virtual key code. Nothing when the key is not in the map. Letter A maps to
// key code 0, a real key.
std::optional<uint16_t> awt_to_mac_keycode(uint16_t vk);
