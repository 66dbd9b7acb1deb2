// Left click counting, with the clock given.

#include <gtest/gtest.h>

#include <vector>

#include "input/pointer.h"

namespace {

constexpr uint64_t kMs = 1'000'000;
constexpr uint64_t kT = 1'000'000 * kMs;  // an arbitrary monotonic reading

struct Press {
    uint16_t x, y;
    uint64_t atNs;
};

TEST(ClickCounting, PressesCloseInTimeAndPlaceCountOnStrictly) {
    struct Case {
        const char* name;
        std::vector<Press> presses;
        std::vector<int64_t> counts;
    } cases[] = {
        {"quick in place, no limit", {{9, 9, kT}, {9, 9, kT + 100 * kMs}, {9, 9, kT + 200 * kMs}, {9, 9, kT + 300 * kMs}},
         {1, 2, 3, 4}},
        {"d2 = 20", {{10, 10, kT}, {14, 12, kT + 499 * kMs}}, {1, 2}},
        {"d2 = 25", {{10, 10, kT}, {13, 14, kT + 499 * kMs}}, {1, 1}},
        {"5 apart", {{10, 10, kT}, {15, 10, kT}}, {1, 1}},
        {"500 ms", {{10, 10, kT}, {10, 10, kT + 500 * kMs}}, {1, 1}},
        {"just under 500 ms", {{10, 10, kT}, {10, 10, kT + 500 * kMs - 1}}, {1, 2}},
        {"a far press restarts the run from itself",
         {{0, 0, kT}, {0, 0, kT + 1}, {50, 50, kT + 2}, {51, 50, kT + 3}}, {1, 2, 1, 2}},
        {"a clock reading before the last press is no quick click", {{0, 0, kT}, {0, 0, kT - 1}}, {1, 1}},
        {"the first press at (0, 0) near time zero", {{0, 0, 1}}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointerState s;
        std::vector<int64_t> counts;
        for (const Press& p : c.presses) {
            pointer_move(s, p.x, p.y);
            const MouseEvent down = pointer_button(s, 1, 1, p.atNs);
            pointer_button(s, 2, 1, p.atNs);  // right buttons do not interrupt a run
            EXPECT_EQ(pointer_button(s, 1, 0, p.atNs + 10 * kMs).clickState, down.clickState);
            counts.push_back(down.clickState.value_or(-1));
        }
        EXPECT_EQ(counts, c.counts);
    }
}

}  // namespace
