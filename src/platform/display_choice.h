#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// One display the platform offers for capture, in the coordinate space of
// input events.
struct DisplayInfo {
    uint32_t id = 0;
    int32_t x = 0;
    int32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// Where the captured display's top-left pixel sits in the coordinate space
// of input events. A frame pixel (x, y) and an event at origin + (x, y) name
// the same point of the screen.
struct ScreenOrigin {
    int32_t x = 0;
    int32_t y = 0;
};

// The display to capture: the one whose id is `mainId`, else the first
// listed, else none.
std::optional<DisplayInfo> choose_display(const std::vector<DisplayInfo>& displays, uint32_t mainId);
