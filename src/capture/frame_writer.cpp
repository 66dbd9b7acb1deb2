#include "capture/frame_writer.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "capture/frame_store.h"
#include "capture/frame_timer.h"
#include "capture/settings.h"
#include "capture/stream_header.h"
#include "platform/stdout_stream.h"
#include "platform/write_all.h"

namespace {

constexpr int kStdout = 1;

// Touched only by ticks, which never overlap.
bool g_headerWritten = false;
// The end of the stream comes between two frames, never inside one.
std::mutex g_endLock;
std::condition_variable g_frameOut;
bool g_writing = false;   // a tick is writing
bool g_finished = false;  // no tick writes any more

// A failed write is not fatal here: the platform decides whether a reader
// that has gone ends the process.
void write_out(const void* data, size_t size) {
    if (!write_all(kStdout, data, size)) stdout_write_failed();
}

void write_header() {
    const StreamHeader header = make_stream_header(frame_width(), frame_height(), TARGET_FPS);
    const auto bytes = encode_stream_header(header);
    write_out(bytes.data(), bytes.size());
    g_headerWritten = true;
    fprintf(stderr, "[capture] header sent: %ux%u frameBytes=%u\n", header.width, header.height,
            header.frameBytes);
}

}  // namespace

void frame_writer_tick() {
    {
        std::lock_guard<std::mutex> guard(g_endLock);
        if (g_finished || !frame_ready()) return;
        g_writing = true;
    }
    if (!g_headerWritten) write_header();
    const uint32_t n = frame_width() * frame_height() * 4u;
    const uint8_t* frame = snapshot_frame();
    write_out(frame, n);
    {
        std::lock_guard<std::mutex> guard(g_endLock);
        g_writing = false;
    }
    g_frameOut.notify_all();
}

bool finish_frame_writer(std::chrono::steady_clock::time_point by) {
    std::unique_lock<std::mutex> guard(g_endLock);
    const bool whole = g_frameOut.wait_until(guard, by, [] { return !g_writing; });
    g_finished = true;
    return whole;
}

bool start_frame_writer() {
    if (!start_frame_timer(FRAME_INTERVAL_NS, FRAME_INTERVAL_NS / 10, frame_writer_tick)) {
        return false;
    }
    fprintf(stderr, "[capture] Frame writer timer started at %u fps\n", TARGET_FPS);
    return true;
}
