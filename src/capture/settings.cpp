#include "capture/settings.h"

#include <cstdio>

uint32_t TARGET_FPS = kDefaultFps;
uint64_t FRAME_INTERVAL_NS = kNanosPerSecond / kDefaultFps;

void set_target_fps(uint32_t fps) {
    TARGET_FPS = fps;
    FRAME_INTERVAL_NS = kNanosPerSecond / fps;
    fprintf(stderr, "[capture] FPS set to %u from CLI argument\n", fps);
}
