// Synthetic capture: pictures whose pixels tell where they came from.
// Pixel (x, y) of picture k is B = x, G = y, R = k (each mod 256), A = 255;
// row padding is filled with 0xEE so that a leak of it shows.

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "capture/capture_config.h"
#include "capture/capture_stream.h"
#include "capture/frame_store.h"
#include "capture/settings.h"
#include "fake_config.h"

struct CaptureStream {
    size_t width;
    size_t height;
    size_t bytesPerRow;
    long frames;
    long delayMs;
};

CaptureStream* g_stream = nullptr;

namespace {

CaptureStream g_fake;

std::vector<uint8_t> make_picture(const CaptureStream& s, long k) {
    std::vector<uint8_t> pixels(s.bytesPerRow * s.height, 0xEE);
    for (size_t y = 0; y < s.height; ++y) {
        uint8_t* row = pixels.data() + y * s.bytesPerRow;
        for (size_t x = 0; x < s.width; ++x) {
            row[x * 4 + 0] = static_cast<uint8_t>(x);
            row[x * 4 + 1] = static_cast<uint8_t>(y);
            row[x * 4 + 2] = static_cast<uint8_t>(k);
            row[x * 4 + 3] = 255;
        }
    }
    return pixels;
}

// A display too large to paint is handed over as untouched zero pages; the
// store has to refuse it without reading it anyway.
void deliver_huge_picture(const CaptureStream* s) {
    const size_t size = s->bytesPerRow * s->height;
    void* pixels = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (pixels == MAP_FAILED) _exit(1);
    if (!store_frame(static_cast<const uint8_t*>(pixels), s->width, s->height, s->bytesPerRow)) _exit(1);
}

void deliver_pictures(const CaptureStream* s) {
    if (s->delayMs > 0) usleep(static_cast<useconds_t>(s->delayMs) * 1000);
    if (s->bytesPerRow * s->height > (size_t{1} << 28)) return deliver_huge_picture(s);
    for (long k = 0; s->frames < 0 || k < s->frames; ++k) {
        const auto pixels = make_picture(*s, k);
        if (!store_frame(pixels.data(), s->width, s->height, s->bytesPerRow)) _exit(1);
        usleep(static_cast<useconds_t>(FRAME_INTERVAL_NS / 1000));
    }
}

bool parse_size(const std::string& text, size_t* width, size_t* height) {
    unsigned long long w = 0, h = 0;
    if (sscanf(text.c_str(), "%llux%llu", &w, &h) != 2) return false;
    *width = w;
    *height = h;
    return true;
}

}  // namespace

CaptureStream* start_capture_stream() {
    const std::string fail = fake_env_string("FAKE_CAPTURE_FAIL");
    if (fail == "no-display") {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }
    if (fail == "start") {
        fprintf(stderr, kStartFailedLine, "synthetic failure");
        fputs(kScreenRecordingLines, stderr);
        return nullptr;
    }
    CaptureStream& s = g_fake;
    s.width = 64;
    s.height = 48;
    parse_size(fake_env_string("FAKE_CAPTURE_SIZE"), &s.width, &s.height);
    s.bytesPerRow = s.width * 4 + static_cast<size_t>(fake_env_long("FAKE_CAPTURE_PADDING", 0));
    s.frames = fake_env_long("FAKE_CAPTURE_FRAMES", -1);
    s.delayMs = fake_env_long("FAKE_CAPTURE_DELAY_MS", 0);
    fprintf(stderr, kDisplayLine, static_cast<unsigned>(s.width), static_cast<unsigned>(s.height), 1u);

    const long sources = fake_env_long("FAKE_CAPTURE_SOURCES", 1);
    for (long i = 0; i < sources; ++i) std::thread(deliver_pictures, &s).detach();
    fputs(kStartedLine, stderr);
    return &s;
}

void stop_capture_stream(CaptureStream*, std::function<void(const char* error)> done) {
    const std::string mode = fake_env_string("FAKE_STOP");
    if (mode == "hang") return;
    done(mode == "error" ? "synthetic stop failure" : nullptr);
}

ScreenOrigin captured_display_origin() { return {}; }
