#pragma once

#include <cstdint>

// How the neutral input actions become what Windows's SendInput takes, as
// pure rules: they hold on any platform and are tested here.

// The normalized coordinate (0 to 65535) of an absolute move that lands on
// `pixel` of a virtual desktop `span` pixels across. Windows maps a
// normalized n back to floor(n * span / 65536), so the smallest n that names
// the pixel is ceil(pixel * 65536 / span); rounding down would land one
// pixel short wherever 65536 / span is not whole.
int32_t normalized_coordinate(int64_t pixel, int64_t span);

// Wheel data of `steps` notches (positive: away from the user, up).
constexpr int32_t kWheelDelta = 120;
constexpr int32_t wheel_data(int32_t steps) { return steps * kWheelDelta; }

// Whether a key is one of the extended keys (the grey navigation block, the
// right-hand Control and Alt, the Windows keys, the keypad's divide and
// Enter...), which SendInput must flag with KEYEVENTF_EXTENDEDKEY or it
// reaches programs as its keypad twin (Home as keypad 7, say).
bool is_extended_key(uint16_t virtualKey);
