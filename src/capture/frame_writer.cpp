#include "capture/frame_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "capture/frame_store.h"
#include "capture/frame_timer.h"
#include "capture/settings.h"
#include "capture/stream_header.h"
#include "capture/write_all.h"

namespace {

// Touched only by ticks, which never overlap.
bool g_headerWritten = false;

void write_header() {
    const StreamHeader header = make_stream_header(frame_width(), frame_height(), TARGET_FPS);
    const auto bytes = encode_stream_header(header);
    // A failed write is not fatal: a reader that has gone away ends the
    // process through SIGPIPE; with SIGPIPE ignored the ticks simply go on.
    write_all(STDOUT_FILENO, bytes.data(), bytes.size());
    g_headerWritten = true;
    fprintf(stderr, "[capture] header sent: %ux%u frameBytes=%u\n", header.width, header.height,
            header.frameBytes);
}

}  // namespace

void frame_writer_tick() {
    if (!frame_ready()) return;
    if (!g_headerWritten) write_header();
    const uint32_t n = frame_width() * frame_height() * 4u;
    const uint8_t* frame = snapshot_frame();
    write_all(STDOUT_FILENO, frame, n);
}

namespace {

// A frame is megabytes; a pipe's default 64 KiB buffer makes every frame cost
// a hundred wake-ups of writer and reader. Best effort: the limit may be lower.
void enlarge_stdout_pipe() {
#ifdef F_SETPIPE_SZ
    struct stat st{};
    if (fstat(STDOUT_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
#endif
}

}  // namespace

bool start_frame_writer() {
    enlarge_stdout_pipe();
    if (!start_frame_timer(FRAME_INTERVAL_NS, FRAME_INTERVAL_NS / 10, frame_writer_tick)) {
        return false;
    }
    fprintf(stderr, "[capture] Frame writer timer started at %u fps\n", TARGET_FPS);
    return true;
}
