#include "platform/display_choice.h"

std::optional<DisplayInfo> choose_display(const std::vector<DisplayInfo>& displays, uint32_t mainId) {
    for (const DisplayInfo& d : displays) {
        if (d.id == mainId) return d;
    }
    if (displays.empty()) return std::nullopt;
    return displays.front();
}
