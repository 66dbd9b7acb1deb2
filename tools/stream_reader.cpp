// Reads a frame stream on stdin the way a controller would: prints the
// header, then consumes whole frames and reports how many arrived and at
// what rate. Usage: stream_reader [seconds]   (default: until end of stream)

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "controller/frame_reader.h"

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 0.0;
    const auto header = controller::read_header(STDIN_FILENO);
    if (!header) {
        fprintf(stderr, "stream_reader: no header\n");
        return 1;
    }
    printf("header: %s\n", controller::describe(*header).c_str());
    if (!controller::is_valid(*header)) {
        fprintf(stderr, "stream_reader: not a valid frame stream\n");
        return 1;
    }

    controller::Bytes frame;
    const auto start = std::chrono::steady_clock::now();
    uint64_t frames = 0;
    double elapsed = 0;
    while (controller::read_frame(STDIN_FILENO, *header, frame)) {
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > 0 && elapsed >= seconds) break;
    }
    printf("frames: %llu in %.2f s (%.1f fps)\n", static_cast<unsigned long long>(frames), elapsed,
           elapsed > 0 ? (frames - 1) / elapsed : 0.0);
    return 0;
}
