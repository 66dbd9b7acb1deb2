// A small controller for the demo: starts the helper with pipes, saves the
// first frame as a PNG, counts frames for a while, then closes the helper's
// stdin (the stop request) and reports how it ended.
// Usage: demo_controller HELPER OUT.png SECONDS [helper arguments...]

#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool read_exactly(int fd, uint8_t* out, size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, out, size);
        if (n <= 0) return false;
        out += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool save_png(const char* path, const uint8_t* bgra, uint32_t width, uint32_t height) {
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_bgr(png);  // the stream's byte order is blue, green, red, alpha
        png_write_info(png, info);
        for (uint32_t y = 0; y < height; ++y) {
            png_write_row(png, const_cast<png_bytep>(bgra + size_t{y} * width * 4));
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s HELPER OUT.png SECONDS [helper arguments...]\n", argv[0]);
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);  // keep our lines in order with the helper's log
    const char* pngPath = argv[2];
    const double seconds = atof(argv[3]);
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        close(toChild[0]), close(toChild[1]), close(fromChild[0]), close(fromChild[1]);
        std::vector<char*> args = {argv[1]};
        for (int i = 4; i < argc; ++i) args.push_back(argv[i]);
        args.push_back(nullptr);
        execv(argv[1], args.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    signal(SIGPIPE, SIG_IGN);

    uint8_t header[28];
    if (!read_exactly(fromChild[0], header, sizeof header)) {
        fprintf(stderr, "demo: the helper sent no header\n");
        close(toChild[1]);
        int status = 0;
        waitpid(pid, &status, 0);
        printf("helper exit status: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        return 1;
    }
    const uint32_t width = le32(header + 8), height = le32(header + 12);
    const uint32_t fps = le32(header + 16), frameBytes = le32(header + 24);
    printf("header: magic=%.4s version=%u %ux%u fps=%u format=%.4s frameBytes=%u\n", header, le32(header + 4),
           width, height, fps, header + 20, frameBytes);

    std::vector<uint8_t> frame(frameBytes);
    uint64_t frames = 0;
    auto start = std::chrono::steady_clock::now();
    double elapsed = 0;
    while (elapsed < seconds && read_exactly(fromChild[0], frame.data(), frame.size())) {
        if (frames++ == 0) {
            start = std::chrono::steady_clock::now();  // the rate counts from the first frame on
            if (save_png(pngPath, frame.data(), width, height)) {
                printf("first frame saved to %s\n", pngPath);
            } else {
                fprintf(stderr, "demo: could not write %s\n", pngPath);
            }
        }
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    printf("frames: %llu in %.2f s = %.1f fps\n", static_cast<unsigned long long>(frames), elapsed,
           elapsed > 0 ? static_cast<double>(frames - 1) / elapsed : 0.0);

    close(toChild[1]);  // the stop request
    int status = 0;
    waitpid(pid, &status, 0);
    printf("stdin closed; helper exit status: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
