// Benchmark reader: consumes every byte of a frame stream on stdin and, over
// a measuring window, reports delivered frames, achieved rate, ticks missed
// against the nominal rate, and the CPU time the given processes spent.
// Usage: capture_reader FPS WARMUP_S WINDOW_S PID... [--raw FRAMEBYTES]
// Without --raw the stream starts with the helper's 28-byte header.

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "controller/frame_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

// The next whole frame of the stream on stdin.
bool next_frame(std::vector<uint8_t>& frame) {
    return controller::read_exactly(STDIN_FILENO, frame.data(), frame.size());
}

// utime + stime of a process, in seconds.
double cpu_seconds(int pid) {
    FILE* f = fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return 0;
    char buf[2048] = {};
    const size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    const char* p = strrchr(buf, ')');  // the command name may hold spaces
    unsigned long long utime = 0, stime = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2) return 0;
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s FPS WARMUP_S WINDOW_S PID... [--raw FRAMEBYTES]\n", argv[0]);
        return 2;
    }
    const double fps = atof(argv[1]), warmup = atof(argv[2]), window = atof(argv[3]);
    std::vector<int> pids;
    size_t frameBytes = 0;
    for (int i = 4; i < argc; ++i) {
        if (strcmp(argv[i], "--raw") == 0 && i + 1 < argc) {
            frameBytes = strtoull(argv[++i], nullptr, 10);
        } else {
            pids.push_back(atoi(argv[i]));
        }
    }
    if (frameBytes == 0) {
        const auto header = controller::read_header(STDIN_FILENO);
        if (!header) return 1;
        frameBytes = header->frameBytes;
    }
    std::vector<uint8_t> frame(frameBytes);
    if (!next_frame(frame)) return 1;

    const auto first = Clock::now();
    while (seconds_since(first) < warmup) {
        if (!next_frame(frame)) return 1;
    }
    std::vector<double> cpuStart;
    for (int pid : pids) cpuStart.push_back(cpu_seconds(pid));
    const auto start = Clock::now();
    uint64_t frames = 0;
    while (seconds_since(start) < window && next_frame(frame)) ++frames;
    const double elapsed = seconds_since(start);
    double cpu = 0;
    std::string perProcess;
    for (size_t i = 0; i < pids.size(); ++i) {
        const double used = cpu_seconds(pids[i]) - cpuStart[i];
        cpu += used;
        char part[64];
        snprintf(part, sizeof part, " %.2f", used);
        perProcess += part;
    }
    const double expected = elapsed * fps;
    const double missed = expected > static_cast<double>(frames) ? expected - static_cast<double>(frames) : 0;
    // fps frames missed cpu_s cpu_ms_per_frame [cpu per process]
    printf("%.1f %llu %.0f %.2f %.2f%s\n", static_cast<double>(frames) / elapsed,
           static_cast<unsigned long long>(frames), missed, cpu, frames ? cpu * 1000 / static_cast<double>(frames) : 0,
           perProcess.c_str());
    return 0;
}
