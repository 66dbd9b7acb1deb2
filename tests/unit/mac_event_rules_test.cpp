#include <gtest/gtest.h>

#include "capture/sample_status.h"
#include "input/keyboard.h"

namespace {

constexpr uint64_t kCaps = kFlagAlphaShift, kShift = kFlagShift, kOpt = kFlagAlternate, kCmd = kFlagCommand;

// One row per message: a key (vk, action) or, for vk 0, a click; the flags the
// event carries.
TEST(ModifierFlags, KeyAndMouseEventsCarryTheHeldModifiers) {
    const struct {
        uint16_t vk;
        uint8_t action;
        uint64_t flags;
    } rows[] = {
        {0, 1, 0},        {16, 1, kShift},        {0, 1, kShift},  {65, 1, kShift},         {17, 1, kShift | kCmd},
        {65, 0, kShift | kCmd},                   {16, 0, kCmd},   {524, 1, kCmd},          {18, 1, kCmd | kOpt},
        {524, 0, kOpt},   {0, 1, kOpt},           {18, 0, 0},      {20, 1, kCaps},          {20, 0, kCaps},
        {65, 1, kCaps},   {16, 1, kCaps | kShift}, {20, 1, kShift}, {0, 1, kShift},         {16, 7, 0},
    };
    KeyboardState s;
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "vk " << row.vk << " action " << int{row.action});
        InputEvent e = MouseEvent{MouseEventType::LeftMouseDown, 0, 0, MouseButton::Left, 1};
        if (row.vk) e = *key_event(s, row.vk, row.action);
        apply_modifier_flags(s, e);
        std::visit([&](const auto& v) { EXPECT_EQ(v.flags, row.flags); }, e);
    }
    InputEvent text = *text_event('a', true);
    apply_modifier_flags(s, text);
    EXPECT_EQ(std::get<TextEvent>(text).flags, 0u);

    key_event(s, 16, 1);
    key_event(s, 20, 1);
    release_held_keys(s, [](const InputEvent&) {});
    EXPECT_EQ(modifier_flags(s), 0u);
}

TEST(SampleStatus, OnlyPicturesThatMayReplaceTheLastOneAreStored) {
    const struct {
        bool image;
        std::optional<int64_t> status;
        bool stored;
    } rows[] = {
        {true, 0, true},   {true, 4, true},  {true, std::nullopt, true}, {true, 1, false},
        {true, 2, false},  {true, 3, false}, {true, 5, false},           {true, 6, false},
        {false, 0, false}, {false, std::nullopt, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.image << " " << row.status.value_or(-1));
        EXPECT_EQ(should_store_sample(row.image, row.status), row.stored);
    }
}

}  // namespace
