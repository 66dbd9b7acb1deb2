#include "capture/display_choice.h"

#include <gtest/gtest.h>

namespace {

DisplayInfo display(uint32_t id, uint32_t width) {
    DisplayInfo d;
    d.id = id;
    d.width = width;
    d.height = 100;
    return d;
}

TEST(DisplayChoice, MainDisplayWinsWhereverItIsListed) {
    const std::vector<DisplayInfo> displays = {display(7, 800), display(3, 1920), display(9, 640)};
    const auto chosen = choose_display(displays, 3);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->id, 3u);
    EXPECT_EQ(chosen->width, 1920u);

    EXPECT_EQ(choose_display(displays, 9)->id, 9u);
}

TEST(DisplayChoice, WithoutTheMainDisplayTheFirstListedIsChosen) {
    const std::vector<DisplayInfo> displays = {display(7, 800), display(3, 1920)};
    const auto chosen = choose_display(displays, 42);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->id, 7u);
    EXPECT_EQ(chosen->width, 800u);
}

TEST(DisplayChoice, EmptyListChoosesNothing) {
    EXPECT_FALSE(choose_display({}, 0));
    EXPECT_FALSE(choose_display({}, 5));
}

}  // namespace
