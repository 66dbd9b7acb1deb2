#include "input/spare_key_pool.h"

#include <gtest/gtest.h>

namespace {

TEST(SpareKeyPool, ReusesTheLeastRecentlyUsedKeyThatIsNotHeldWithoutEverWaiting) {
    SpareKeyPool pool({10, 11}, 100);
    struct Step {
        bool press;
        uint32_t symbolOrKey;
        uint64_t t;
        int key;  // -1: no key
        bool remap, early;
    } steps[] = {
        {true, 'A', 0, 10, true, false},   {false, 10, 1, 10, false, false},  // first use maps
        {true, 'A', 5, 10, false, false},  {false, 10, 6, 10, false, false},  // typed again: no remap
        {true, 'B', 10, 11, true, false},                                     // a free key, B held
        {true, 'C', 300, 10, true, false}, {false, 10, 301, 10, false, false},  // LRU not held
        {true, 'D', 302, 10, true, true},  // only key not held, too recent: taken anyway
        {true, 'E', 303, -1, false, false},  // every key held
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.t);
        if (!s.press) {
            pool.release(static_cast<uint8_t>(s.symbolOrKey), s.t);
            continue;
        }
        const auto lease = pool.press(s.symbolOrKey, s.t);
        ASSERT_EQ(lease.has_value(), s.key >= 0);
        if (!lease) continue;
        EXPECT_EQ(lease->key, s.key);
        EXPECT_EQ(lease->remap, s.remap);
        EXPECT_EQ(lease->early, s.early);
    }
    EXPECT_EQ(pool.take_mapped(), (std::vector<uint8_t>{10, 11}));
    EXPECT_TRUE(pool.take_mapped().empty());
}

}  // namespace
