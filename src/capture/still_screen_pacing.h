#pragma once

#include <cstdint>

// A capture that must read the whole screen to learn that nothing changed
// (GDI says nothing of what changed) reads a still screen less often: once
// kStillReadsBeforeSlowing reads in a row found nothing new, it reads on
// every kSlowReadEvery-th tick only, and the first change brings it back to
// every tick. A moved pointer is cheap to see, so the caller reads at once
// when it moves: the first change the user makes is seen on its own tick.
class StillScreenPacing {
public:
    static constexpr uint32_t kStillReadsBeforeSlowing = 15;  // half a second at 30 fps
    static constexpr uint32_t kSlowReadEvery = 2;

    // Whether this tick reads the screen; call once a tick.
    bool read_this_tick() {
        ++tick_;
        return stillReads_ < kStillReadsBeforeSlowing || tick_ % kSlowReadEvery == 0;
    }
    // What a read found.
    void read_found(bool changed) { stillReads_ = changed ? 0 : stillReads_ + (stillReads_ < UINT32_MAX); }

private:
    uint32_t stillReads_ = 0;
    uint64_t tick_ = 0;
};
