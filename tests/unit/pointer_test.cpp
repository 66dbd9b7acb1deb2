// Moves vs drags and left click counting, with the clock injected.

#include <gtest/gtest.h>

#include <vector>

#include "input/pointer.h"

namespace {

constexpr uint64_t kMs = 1'000'000;
constexpr uint64_t kStart = 1'000'000 * kMs;  // an arbitrary monotonic reading

struct Press {
    uint16_t x, y;
    uint64_t atNs;
};

// Left press (and release) at each place and time; the press counts.
std::vector<int64_t> left_press_counts(const std::vector<Press>& presses) {
    PointerState s;
    std::vector<int64_t> counts;
    for (const Press& p : presses) {
        pointer_move(s, p.x, p.y);
        const MouseEvent down = pointer_button(s, 1, 1, p.atNs);
        const MouseEvent up = pointer_button(s, 1, 0, p.atNs + 10 * kMs);
        EXPECT_EQ(up.clickState, down.clickState);
        counts.push_back(*down.clickState);
    }
    return counts;
}

TEST(ClickCounting, QuickPressesInPlaceCountOnWithoutLimit) {
    EXPECT_EQ(left_press_counts({{100, 100, kStart}, {100, 100, kStart + 100 * kMs},
                                 {100, 100, kStart + 200 * kMs}, {100, 100, kStart + 300 * kMs}}),
              (std::vector<int64_t>{1, 2, 3, 4}));
}

TEST(ClickCounting, DistanceAndTimeBoundariesAreStrict) {
    const uint64_t t1 = kStart + 499 * kMs;
    EXPECT_EQ(left_press_counts({{10, 10, kStart}, {14, 12, t1}}), (std::vector<int64_t>{1, 2}));  // d^2 = 20
    EXPECT_EQ(left_press_counts({{10, 10, kStart}, {13, 14, t1}}), (std::vector<int64_t>{1, 1}));  // d^2 = 25
    EXPECT_EQ(left_press_counts({{10, 10, kStart}, {15, 10, t1}}), (std::vector<int64_t>{1, 1}));
    EXPECT_EQ(left_press_counts({{10, 10, kStart}, {10, 10, kStart + 500 * kMs}}), (std::vector<int64_t>{1, 1}));
    EXPECT_EQ(left_press_counts({{10, 10, kStart}, {10, 10, kStart + 500 * kMs - 1}}), (std::vector<int64_t>{1, 2}));
}

TEST(ClickCounting, ARunRestartsFromTheLatestPress) {
    // The far press starts again at 1 and becomes the new reference.
    EXPECT_EQ(left_press_counts({{0, 0, kStart}, {0, 0, kStart + 100 * kMs}, {50, 50, kStart + 200 * kMs},
                                 {51, 50, kStart + 300 * kMs}}),
              (std::vector<int64_t>{1, 2, 1, 2}));
    // A clock reading before the previous press is a huge unsigned gap, not a quick click.
    EXPECT_EQ(left_press_counts({{0, 0, kStart}, {0, 0, kStart - 1}}), (std::vector<int64_t>{1, 1}));
}

TEST(ClickCounting, FirstPressAndEarlyReleaseAndOtherButtons) {
    PointerState s;
    const MouseEvent early = pointer_button(s, 1, 0, kStart);
    EXPECT_EQ(early.type, MouseEventType::LeftMouseUp);
    EXPECT_EQ(early.clickState, 0);
    // At (0, 0) with the clock near zero: still a first click.
    EXPECT_EQ(pointer_button(s, 1, 1, 1).clickState, 1);

    const MouseEvent right = pointer_button(s, 2, 1, 2);
    EXPECT_EQ(right.type, MouseEventType::RightMouseDown);
    EXPECT_EQ(right.button, MouseButton::Right);
    EXPECT_EQ(right.clickState, 1);
    EXPECT_EQ(pointer_button(s, 2, 0, 3).clickState, 1);
    // Right buttons do not interrupt a left run.
    EXPECT_EQ(pointer_button(s, 1, 1, 4).clickState, 2);

    for (uint8_t button : {0, 3, 255}) {
        const MouseEvent down = pointer_button(s, button, 1, 5);
        EXPECT_EQ(down.type, MouseEventType::OtherMouseDown);
        EXPECT_EQ(down.button, MouseButton::Center);
        EXPECT_EQ(down.clickState, 1);
        EXPECT_EQ(pointer_button(s, button, 7, 6).type, MouseEventType::OtherMouseUp);
    }
}

TEST(PointerMoves, DragsFollowTheHeldButton) {
    PointerState s;
    MouseEvent e = pointer_move(s, 65535, 65535);
    EXPECT_EQ(e.type, MouseEventType::MouseMoved);
    EXPECT_EQ(e.button, MouseButton::Left);
    EXPECT_EQ(e.x, 65535.0);
    EXPECT_EQ(e.y, 65535.0);
    EXPECT_FALSE(e.clickState);

    pointer_button(s, 2, 1, kStart);
    e = pointer_move(s, 5, 6);
    EXPECT_EQ(e.type, MouseEventType::RightMouseDragged);
    EXPECT_EQ(e.button, MouseButton::Right);

    pointer_button(s, 1, 1, kStart);
    e = pointer_move(s, 7, 8);
    EXPECT_EQ(e.type, MouseEventType::LeftMouseDragged);
    EXPECT_EQ(e.button, MouseButton::Left);
    EXPECT_FALSE(e.clickState);

    pointer_button(s, 1, 0, kStart);
    pointer_button(s, 2, 0, kStart);
    pointer_button(s, 3, 1, kStart);  // other buttons make no drags
    EXPECT_EQ(pointer_move(s, 9, 9).type, MouseEventType::MouseMoved);
}

std::vector<InputEvent> g_released;
void record(const InputEvent& e) { g_released.push_back(e); }

TEST(PointerRelease, HeldButtonsAreLetGoOnce) {
    PointerState s;
    pointer_move(s, 40, 50);
    pointer_button(s, 1, 1, kStart);
    pointer_button(s, 1, 1, kStart + kMs);  // count 2
    pointer_button(s, 2, 1, kStart);
    pointer_button(s, 9, 1, kStart);
    g_released.clear();
    release_held_buttons(s, record);
    ASSERT_EQ(g_released.size(), 3u);
    const auto& left = std::get<MouseEvent>(g_released[0]);
    EXPECT_EQ(left.type, MouseEventType::LeftMouseUp);
    EXPECT_EQ(left.clickState, 2);
    EXPECT_EQ(left.x, 40.0);
    EXPECT_EQ(std::get<MouseEvent>(g_released[1]).type, MouseEventType::RightMouseUp);
    EXPECT_EQ(std::get<MouseEvent>(g_released[2]).type, MouseEventType::OtherMouseUp);

    g_released.clear();
    release_held_buttons(s, record);
    EXPECT_TRUE(g_released.empty());
    EXPECT_EQ(pointer_move(s, 1, 1).type, MouseEventType::MouseMoved);
}

}  // namespace
