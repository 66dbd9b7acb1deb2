#pragma once

#include <cstdint>

// What a capture through DXGI Desktop Duplication does with each answer of
// AcquireNextFrame, as a pure rule. Duplication works on real Windows only
// (Wine does not implement it), where it says what changed and sends
// nothing while the screen is still.

// AcquireNextFrame's answer, told without the platform's types.
struct AcquiredFrame {
    enum class Status {
        ok,
        timeout,     // DXGI_ERROR_WAIT_TIMEOUT: nothing new within the wait
        accessLost,  // DXGI_ERROR_ACCESS_LOST: mode change, desktop switch (UAC, lock screen), full-screen app
        failed,      // anything else
    } status;
    int64_t lastPresentTime = 0;          // DXGI_OUTDUPL_FRAME_INFO: 0 when the desktop image did not change
    int64_t lastMouseUpdateTime = 0;      // 0 when the pointer did not move
    uint32_t pointerShapeBufferSize = 0;  // non-zero when the pointer changed shape
};

enum class DuplicationStep {
    storePicture,    // a new desktop image: store what changed, draw the pointer over it
    redrawPointer,   // the pointer alone moved or changed shape: the stored picture stays
    nothingChanged,  // the writer repeats the last frame
    recreate,        // the duplication is dead: release it, make it anew (and read the whole screen)
    fallBackToGdi,   // duplication cannot go on here: capture with GDI from now on
};

DuplicationStep next_duplication_step(const AcquiredFrame& frame);
