// Reads a frame stream on stdin the way a controller would: prints the
// header, then consumes whole frames and reports how many arrived and at
// what rate. Usage: stream_reader [seconds]   (default: until end of stream)

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool read_exactly(uint8_t* out, size_t size) {
    while (size > 0) {
        const ssize_t n = read(STDIN_FILENO, out, size);
        if (n <= 0) return false;
        out += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 0.0;
    uint8_t header[28];
    if (!read_exactly(header, sizeof header)) {
        fprintf(stderr, "stream_reader: no header\n");
        return 1;
    }
    const uint32_t width = le32(header + 8), height = le32(header + 12);
    const uint32_t fps = le32(header + 16), frameBytes = le32(header + 24);
    printf("header: magic=%.4s version=%u %ux%u fps=%u format=%.4s frameBytes=%u\n", header,
           le32(header + 4), width, height, fps, header + 20, frameBytes);
    if (memcmp(header, "ZNTV", 4) != 0 || frameBytes != width * height * 4) {
        fprintf(stderr, "stream_reader: not a valid frame stream\n");
        return 1;
    }

    std::vector<uint8_t> frame(frameBytes);
    const auto start = std::chrono::steady_clock::now();
    uint64_t frames = 0;
    double elapsed = 0;
    while (read_exactly(frame.data(), frame.size())) {
        ++frames;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds > 0 && elapsed >= seconds) break;
    }
    printf("frames: %llu in %.2f s (%.1f fps)\n", static_cast<unsigned long long>(frames), elapsed,
           elapsed > 0 ? (frames - 1) / elapsed : 0.0);
    return 0;
}
