#pragma once

#include <cstdint>

// A monotonic clock (steady_clock) in nanoseconds: the one clock every rule
// that depends on time reads, so that a rule can be handed the time as a value.
uint64_t monotonic_now_ns();
