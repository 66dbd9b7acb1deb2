// The input rules: the key map, click counting, the keysyms X11 types, which
// samples are stored, which spare key a character is typed on.

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "capture/sample_status.h"
#include "input/keyboard.h"
#include "input/keymap.h"
#include "input/pointer.h"
#include "input/spare_key_pool.h"
#include "input/x11/x11_keysyms.h"

namespace {

TEST(KeyMap, MapsExactlyTheTableOfAwtCodes) {
    std::map<uint16_t, uint16_t> table = {
        {8, 0x33},   {9, 0x30},   {10, 0x24},  {16, 0x38},  {17, 0x37},  {18, 0x3A},  {20, 0x39},  {27, 0x35},
        {32, 0x31},  {33, 0x74},  {34, 0x79},  {35, 0x77},  {36, 0x73},  {37, 0x7B},  {38, 0x7E},  {39, 0x7C},
        {40, 0x7D},  {127, 0x75}, {524, 0x37}, {44, 0x2B},  {45, 0x1B},  {46, 0x2F},  {47, 0x2C},  {59, 0x29},
        {61, 0x18},  {91, 0x21},  {92, 0x2A},  {93, 0x1E},  {192, 0x32}, {222, 0x27},
    };
    const uint16_t digits[] = {0x1D, 0x12, 0x13, 0x14, 0x15, 0x17, 0x16, 0x1A, 0x1C, 0x19};
    const uint16_t letters[] = {0x00, 0x0B, 0x08, 0x02, 0x0E, 0x03, 0x05, 0x04, 0x22, 0x26, 0x28, 0x25, 0x2E,
                                0x2D, 0x1F, 0x23, 0x0C, 0x0F, 0x01, 0x11, 0x20, 0x09, 0x0D, 0x07, 0x10, 0x06};
    const uint16_t fkeys[] = {0x7A, 0x78, 0x63, 0x76, 0x60, 0x61, 0x62, 0x64, 0x65, 0x6D, 0x67, 0x6F};
    for (uint16_t i = 0; i < 10; ++i) table[48 + i] = digits[i];
    for (uint16_t i = 0; i < 26; ++i) table[65 + i] = letters[i];
    for (uint16_t i = 0; i < 12; ++i) table[112 + i] = fkeys[i];
    ASSERT_EQ(table.size(), 78u);
    for (uint32_t vk = 0; vk <= 0xFFFF; ++vk) {
        SCOPED_TRACE(vk);
        const auto it = table.find(uint16_t(vk));
        EXPECT_EQ(awt_to_mac_keycode(uint16_t(vk)), it == table.end() ? std::nullopt : std::optional(it->second));
    }
}

// Left presses (each with a right press and a left release) at places and
// times; the counts the presses carry.
TEST(ClickCounting, PressesCloseInTimeAndPlaceCountOnStrictly) {
    constexpr uint64_t kMs = 1'000'000, kT = 1'000'000 * kMs;  // an arbitrary monotonic reading
    const struct {
        std::vector<std::tuple<uint16_t, uint16_t, uint64_t>> presses;
        std::vector<int64_t> counts;
    } cases[] = {
        {{{9, 9, kT}, {9, 9, kT + 100 * kMs}, {9, 9, kT + 200 * kMs}, {9, 9, kT + 300 * kMs}}, {1, 2, 3, 4}},
        {{{10, 10, kT}, {14, 12, kT + 499 * kMs}}, {1, 2}},             // d2 = 20
        {{{10, 10, kT}, {13, 14, kT + 499 * kMs}}, {1, 1}},             // d2 = 25
        {{{10, 10, kT}, {15, 10, kT}}, {1, 1}},                         // 5 apart
        {{{10, 10, kT}, {10, 10, kT + 500 * kMs}}, {1, 1}},             // 500 ms
        {{{10, 10, kT}, {10, 10, kT + 500 * kMs - 1}}, {1, 2}},         // just under
        {{{0, 0, kT}, {0, 0, kT + 1}, {50, 50, kT + 2}, {51, 50, kT + 3}}, {1, 2, 1, 2}},  // a far press restarts
        {{{0, 0, kT}, {0, 0, kT - 1}}, {1, 1}},  // a clock reading before the last press is no quick click
        {{{0, 0, 1}}, {1}},                      // the first press, at (0, 0) near time zero
    };
    for (const auto& c : cases) {
        PointerState s;
        std::vector<int64_t> counts;
        for (auto [x, y, t] : c.presses) {
            pointer_move(s, x, y);
            const MouseEvent down = pointer_button(s, 1, 1, t);
            pointer_button(s, 2, 1, t);  // right buttons do not interrupt a run
            EXPECT_EQ(pointer_button(s, 1, 0, t + 10 * kMs).clickState, down.clickState);
            counts.push_back(down.clickState.value_or(-1));
        }
        EXPECT_EQ(counts, c.counts);
    }
}

// What X11 types for a character: Latin-1 as itself, control characters as
// their keys, other characters as Unicode keysyms, nothing for no character.
TEST(X11Keysyms, CharactersAndKeysBecomeTheirKeysyms) {
    const std::pair<uint32_t, uint32_t> characters[] = {
        {0x08, 0xFF08}, {0x0A, 0xFF0D},     {0x0D, 0xFF0D},     {0x1B, 0xFF1B}, {0x7F, 0xFFFF},     {0x01, 0},
        {0x1F, 0},      {' ', ' '},         {'~', '~'},         {0x80, 0},      {0x9F, 0},          {0xA0, 0xA0},
        {0xFF, 0xFF},   {0x100, 0x1000100}, {0x10FFFF, 0x110FFFF}, {0x110000, 0}};
    for (auto [cp, keysym] : characters) EXPECT_EQ(code_point_to_keysym(cp), keysym) << std::hex << cp;
    const uint16_t pair[] = {0xD83D, 0xDE00}, lone[] = {0xDE00, 0xD83D};
    EXPECT_EQ(utf16_to_code_point(pair, 2), 0x1F600u);
    EXPECT_EQ(utf16_to_code_point(lone, 2), 0xFFFFFFFFu);
    EXPECT_EQ(mac_keycode_to_keysym(0x37), 0xFFE3u);  // Command types Control
    EXPECT_EQ(mac_keycode_to_keysym(0x3B), kNoSymbol);
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

// Steps at times t: a press of a symbol, or (symbol 0) the release of `key`.
TEST(SpareKeyPool, ReusesTheLeastRecentlyUsedKeyNotHeldOnceItIsOldEnough) {
    SpareKeyPool pool({10, 11}, 100);
    const struct {
        uint32_t symbol;
        uint64_t t;
        int key;  // -1: no key
        bool remap;
        uint64_t readyAt;
    } steps[] = {
        {'A', 0, 10, true, 0},     {0, 1, 10, false, 0},    // first use maps
        {'A', 5, 10, false, 5},    {0, 6, 10, false, 0},    // typed again: no remap
        {'B', 10, 11, true, 10},                            // a free key, B held
        {'C', 300, 10, true, 300}, {0, 301, 10, false, 0},  // the least recently used not held
        {'D', 302, 10, true, 401},                          // ...too recent: ready only 100 after its last use
        {'E', 303, -1, false, 0},                           // every key held
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.t);
        if (!s.symbol) {
            pool.release(uint8_t(s.key), s.t);
            continue;
        }
        const auto lease = pool.press(s.symbol, s.t);
        ASSERT_EQ(lease.has_value(), s.key >= 0);
        if (!lease) continue;
        EXPECT_EQ(std::tuple(int(lease->key), lease->remap, lease->early, lease->readyAtNs),
                  std::tuple(s.key, s.remap, s.readyAt != s.t, s.readyAt));
    }
    EXPECT_EQ(pool.take_mapped(), (std::vector<uint8_t>{10, 11}));
    EXPECT_TRUE(pool.take_mapped().empty());
}

}  // namespace
