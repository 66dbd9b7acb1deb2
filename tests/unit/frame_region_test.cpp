#include "capture/frame_region.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PlanGrab, DamageBecomesFrameAreasClippedToTheMonitorOrOneBoxWhenTooMany) {
    const PixelRect monitor{100, 50, 200, 100};
    const std::pair<std::vector<PixelRect>, std::vector<PixelRect>> rows[] = {
        {{{0, 0, 100, 200}, {300, 50, 5, 5}}, {}},  // beside the monitor
        {{{90, 40, 20, 20}, {290, 140, 30, 30}}, {{0, 0, 10, 10}, {190, 90, 10, 10}}},
        {{{110, 60, 5, 5}, {200, 100, 5, 5}, {150, 70, 1, 1}}, {{10, 10, 95, 45}}},  // more than two
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first.size());
        PixelRect out[2];
        const size_t n = plan_grab(row.first.data(), row.first.size(), monitor, out, 2);
        EXPECT_EQ(std::vector<PixelRect>(out, out + n), row.second);
    }
}
