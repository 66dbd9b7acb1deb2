#pragma once

#include <cstdint>

// Platform seam: a periodic timer on a private serial context. The first tick
// is due at once, the following ones every `interval_ns` on an absolute
// schedule; a tick may run up to `leeway_ns` late but never early, and ticks
// never overlap. Expiries that fall due while a tick is still running are
// folded into one. Returns false (having logged why) when the timer could not
// be started.
bool start_frame_timer(uint64_t interval_ns, uint64_t leeway_ns, void (*tick)());
