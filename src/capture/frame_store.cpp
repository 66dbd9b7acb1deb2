#include "capture/frame_store.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <pthread.h>

namespace {

constexpr size_t kBytesPerPixel = 4;

// Plain pthread mutexes: statically initialised and never destroyed, so a
// capture thread still running while the process exits finds them intact.
pthread_mutex_t g_frameLock = PTHREAD_MUTEX_INITIALIZER;
// Serialises the first-frame sizing: the capture service may hand two
// first frames over at once on its concurrent queue.
pthread_mutex_t g_sizingLock = PTHREAD_MUTEX_INITIALIZER;

class Locked {
public:
    explicit Locked(pthread_mutex_t& m) : m_(m) { pthread_mutex_lock(&m_); }
    ~Locked() { pthread_mutex_unlock(&m_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pthread_mutex_t& m_;
};
std::atomic<int> g_dimsKnown{0};
uint32_t g_width = 0;
uint32_t g_height = 0;
uint8_t* g_frameBuffer = nullptr;
uint8_t* g_writeBuffer = nullptr;
std::atomic<int> g_frameReady{0};
// Rows [g_dirtyTop, g_dirtyBottom) changed since the writer's last snapshot;
// under g_frameLock.
uint32_t g_dirtyTop = 0;
uint32_t g_dirtyBottom = 0;

// Set when a snapshot took the whole frame by swapping the buffers instead of
// copying it: g_frameBuffer then holds the frame before, and is brought up to
// date before anything changes only part of it. Under g_frameLock.
bool g_frameBehind = false;

void catch_up(bool replacesWhole) {
    if (g_frameBehind && !replacesWhole) {
        memcpy(g_frameBuffer, g_writeBuffer, size_t{g_width} * g_height * kBytesPerPixel);
    }
    g_frameBehind = false;
}

void mark_dirty(uint32_t top, uint32_t bottom) {
    bottom = std::min(bottom, g_height);
    if (top >= bottom) return;
    if (g_dirtyTop >= g_dirtyBottom) {
        g_dirtyTop = top;
        g_dirtyBottom = bottom;
    } else {
        g_dirtyTop = std::min(g_dirtyTop, top);
        g_dirtyBottom = std::max(g_dirtyBottom, bottom);
    }
}

// The stream header carries the frame length in 32 bits.
bool fits_stream(size_t width, size_t height) {
    constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
    return width <= kMax && height <= kMax &&
           static_cast<uint64_t>(width) * kBytesPerPixel <= kMax / height;
}

}  // namespace

bool size_frame_store(size_t width, size_t height) {
    if (g_dimsKnown.load(std::memory_order_acquire)) return true;
    Locked guard(g_sizingLock);
    if (g_dimsKnown.load(std::memory_order_relaxed)) return true;
    if (!fits_stream(width, height)) {
        fprintf(stderr, "[capture] ERROR: frame size %zux%zu is too large for the frame stream\n",
                width, height);
        return false;
    }
    const size_t size = width * kBytesPerPixel * height;
    g_frameBuffer = static_cast<uint8_t*>(malloc(size));
    g_writeBuffer = g_frameBuffer ? static_cast<uint8_t*>(malloc(size)) : nullptr;
    if (!g_frameBuffer || !g_writeBuffer) {
        free(g_frameBuffer);
        g_frameBuffer = nullptr;
        fprintf(stderr, "[capture] ERROR: malloc failed for frame buffers\n");
        return false;
    }
    g_width = static_cast<uint32_t>(width);
    g_height = static_cast<uint32_t>(height);
    g_dimsKnown.store(1, std::memory_order_release);
    fprintf(stderr, "[capture] dimensions resolved: %ux%u\n", g_width, g_height);
    return true;
}

namespace {

// A frame of another size than the recorded one should not arrive; if one
// does, only the part both share is copied, so neither side is overrun.
void copy_overlap(const uint8_t* base, size_t width, size_t height, size_t bytesPerRow) {
    const size_t rowBytes = size_t{g_width} * kBytesPerPixel;
    const size_t copyBytes = std::min<size_t>(g_width, width) * kBytesPerPixel;
    const size_t rows = std::min<size_t>(g_height, height);
    for (size_t r = 0; r < rows; ++r) {
        memcpy(g_frameBuffer + r * rowBytes, base + r * bytesPerRow, copyBytes);
    }
}

}  // namespace

bool store_frame(const uint8_t* base, size_t width, size_t height, size_t bytesPerRow) {
    if (!base || width == 0 || height == 0) return true;
    // Rows that overlap each other are not a picture; nothing sane can be copied.
    if (bytesPerRow < width * kBytesPerPixel) return true;
    if (!size_frame_store(width, height)) return false;

    const size_t rowBytes = size_t{g_width} * kBytesPerPixel;
    Locked guard(g_frameLock);
    catch_up(width == g_width && height == g_height);
    if (width != g_width || height != g_height) {
        copy_overlap(base, width, height, bytesPerRow);
    } else if (bytesPerRow == rowBytes) {
        memcpy(g_frameBuffer, base, rowBytes * g_height);
    } else {
        for (size_t r = 0; r < g_height; ++r) {
            memcpy(g_frameBuffer + r * rowBytes, base + r * bytesPerRow, rowBytes);
        }
    }
    mark_dirty(0, g_height);
    g_frameReady.store(1, std::memory_order_release);
    return true;
}

void edit_frame_with(uint32_t top, uint32_t bottom, bool replacesWhole, void (*edit)(void* context, uint8_t* pixels),
                     void* context) {
    if (!frame_dims_known()) return;
    Locked guard(g_frameLock);
    catch_up(replacesWhole);
    edit(context, g_frameBuffer);
    mark_dirty(top, bottom);
    g_frameReady.store(1, std::memory_order_release);
}

bool frame_dims_known() { return g_dimsKnown.load(std::memory_order_acquire) != 0; }
bool frame_ready() { return g_frameReady.load(std::memory_order_acquire) != 0; }
uint32_t frame_width() { return g_width; }
uint32_t frame_height() { return g_height; }

const uint8_t* snapshot_frame() {
    const size_t rowBytes = size_t{g_width} * kBytesPerPixel;
    Locked guard(g_frameLock);
    if (g_dirtyTop == 0 && g_dirtyBottom == g_height) {
        // A whole new frame: swapping is cheaper than copying it.
        std::swap(g_frameBuffer, g_writeBuffer);
        g_frameBehind = true;
        g_dirtyTop = g_dirtyBottom = 0;
    } else if (g_dirtyTop < g_dirtyBottom) {
        const size_t offset = g_dirtyTop * rowBytes;
        memcpy(g_writeBuffer + offset, g_frameBuffer + offset, (g_dirtyBottom - g_dirtyTop) * rowBytes);
        g_dirtyTop = g_dirtyBottom = 0;
    }
    return g_writeBuffer;
}

void reset_frame_store_for_tests() {
    free(g_frameBuffer);
    free(g_writeBuffer);
    g_frameBuffer = g_writeBuffer = nullptr;
    g_width = g_height = 0;
    g_dirtyTop = g_dirtyBottom = 0;
    g_frameBehind = false;
    g_dimsKnown.store(0);
    g_frameReady.store(0);
}
