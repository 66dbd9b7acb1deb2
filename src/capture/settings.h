#pragma once

#include <cstdint>

// Frame rate of the stream. Written by main before any other thread or timer
// exists, read-only afterwards.
extern uint32_t TARGET_FPS;
extern uint64_t FRAME_INTERVAL_NS;

constexpr uint32_t kDefaultFps = 15;
constexpr uint32_t kMaxFps = 120;
constexpr uint64_t kNanosPerSecond = 1'000'000'000ull;

// Takes a frame rate from the command line: sets both settings and logs it.
void set_target_fps(uint32_t fps);
