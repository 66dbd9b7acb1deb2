#include "capture/frame_writer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "capture/frame_store.h"
#include "capture/frame_timer.h"
#include "capture/settings.h"
#include "capture/stream_header.h"
#include "platform/write_all.h"

namespace {

// Touched only by ticks, which never overlap.
bool g_headerWritten = false;

// A failed write is not fatal. When the reader has gone away, the SIGPIPE the
// write raised stays pending in this thread, where it is blocked; raising it
// for the process hands it to the thread that waits for stop signals, which
// lets go of held input before the process ends by it. A process started
// with SIGPIPE ignored drops it, and the ticks simply go on.
void write_out(const void* data, size_t size) {
    if (!write_all(STDOUT_FILENO, data, size) && errno == EPIPE) kill(getpid(), SIGPIPE);
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
    if (!frame_ready()) return;
    if (!g_headerWritten) write_header();
    const uint32_t n = frame_width() * frame_height() * 4u;
    const uint8_t* frame = snapshot_frame();
    write_out(frame, n);
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
