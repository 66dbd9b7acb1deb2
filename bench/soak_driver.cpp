// Soak driver: runs the helper for a long while under a steady stream of
// random, valid control messages, reads every byte of its frame stream and
// its log, and reports frames, missed ticks, memory and descriptors, then
// closes stdin and checks the helper exits 0 in time.
// Usage: soak_driver HELPER FPS WARMUP_S DURATION_S [MSGS_PER_S] [SEED]
// (DISPLAY names the server). Prints a Markdown table; exits 0 only if the
// helper ran to the end and exited 0 within 2 s of its stdin closing.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "controller/child.h"
#include "controller/messages.h"
#include "controller/stream_header.h"

namespace {

using controller::append, controller::Bytes, controller::kPress, controller::kRelease;

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// VmRSS in KiB, or -1 once the process is gone.
long rss_kib(pid_t pid) {
    FILE* f = fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, "VmRSS:", 6) == 0) {
            kib = strtol(line + 6, nullptr, 10);
            break;
        }
    }
    fclose(f);
    return kib;
}

long open_fds(pid_t pid) {
    DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!d) return -1;
    long n = 0;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
    return n;
}

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// What a controller would send: mostly pointer moves, with clicks, scrolls,
// keys and typed text in between. Everything pressed is released a few
// messages later, and nothing is pressed twice while held.
class InputMix {
public:
    InputMix(uint32_t seed, uint16_t width, uint16_t height) : rng_(seed), width_(width), height_(height) {
        x_ = width / 2;
        y_ = height / 2;
    }

    // Appends the next message to `out`.
    void next(Bytes& out) {
        ++count_;
        if (!releases_.empty() && releases_.front().due <= count_) {
            append(out, releases_.front().bytes);
            held_.erase(std::find(held_.begin(), held_.end(), releases_.front().id));
            releases_.pop_front();
            return;
        }
        const uint32_t roll = pick(100);
        if (roll < 80) {
            move(out);
        } else if (roll < 85) {
            static const uint8_t buttons[] = {1, 1, 1, 1, 1, 2, 2, 3};
            const uint8_t b = buttons[pick(sizeof buttons)];
            press(out, 0x100 | b, controller::button(b, kPress), controller::button(b, kRelease));
        } else if (roll < 90) {
            const int16_t lines = int16_t(pick(2) ? 1 + pick(3) : -1 - int(pick(3)));
            append(out, controller::scroll(lines));
        } else if (roll < 96) {
            const uint16_t vk = key_code();
            press(out, 0x10000 | vk, controller::key(vk, kPress), controller::key(vk, kRelease));
        } else {
            const uint32_t cp = code_point();
            press(out, 0x1000000 | cp, controller::text(cp, kPress), controller::text(cp, kRelease));
        }
    }

    // Appends the releases of everything still held.
    void release_all(Bytes& out) {
        for (const auto& r : releases_) append(out, r.bytes);
        count_ += releases_.size();
        releases_.clear();
        held_.clear();
    }

    uint64_t count() const { return count_; }

private:
    struct Release {
        uint64_t due;
        uint32_t id;
        Bytes bytes;
    };

    uint32_t pick(uint32_t n) { return uint32_t(rng_() % n); }

    // A short drag-like step most of the time, now and then a jump.
    void move(Bytes& out) {
        if (pick(20) == 0) {
            x_ = int(pick(width_));
            y_ = int(pick(height_));
        } else {
            x_ = std::clamp(x_ + int(pick(41)) - 20, 0, width_ - 1);
            y_ = std::clamp(y_ + int(pick(41)) - 20, 0, height_ - 1);
        }
        append(out, controller::move_to(uint16_t(x_), uint16_t(y_)));
    }

    uint16_t key_code() {
        const uint32_t r = pick(100);
        if (r < 60) return uint16_t(0x41 + pick(26));  // A-Z
        if (r < 80) return uint16_t(0x30 + pick(10));  // 0-9
        if (r < 88) return 0x20;                       // space
        if (r < 94) return 0x0A;                       // enter
        return 0x10;                                   // shift
    }

    uint32_t code_point() {
        static const uint32_t others[] = {0xE9, 0xFC, 0xDF, 0x20AC, 0xA3};  // é ü ß € £
        if (pick(5) == 0) return others[pick(sizeof others / sizeof others[0])];
        return 0x20 + pick(0x7F - 0x20);  // printable ASCII
    }

    // Sends the press now and schedules the release 1 to 8 messages later,
    // or sends a move instead if `id` is already held.
    void press(Bytes& out, uint32_t id, const Bytes& down, Bytes up) {
        if (std::find(held_.begin(), held_.end(), id) != held_.end()) {
            move(out);
            return;
        }
        append(out, down);
        held_.push_back(id);
        const uint64_t due = count_ + 1 + pick(8);
        auto at = std::find_if(releases_.begin(), releases_.end(), [&](const Release& r) { return r.due > due; });
        releases_.insert(at, Release{due, id, std::move(up)});
    }

    std::mt19937 rng_;
    int width_, height_;
    int x_, y_;
    uint64_t count_ = 0;
    std::vector<uint32_t> held_;
    std::deque<Release> releases_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s HELPER FPS WARMUP_S DURATION_S [MSGS_PER_S] [SEED]\n", argv[0]);
        return 2;
    }
    const double fps = atof(argv[2]), warmup = atof(argv[3]), duration = atof(argv[4]);
    const double rate = argc > 5 ? atof(argv[5]) : 300;
    const uint32_t seed = argc > 6 ? uint32_t(strtoul(argv[6], nullptr, 10)) : 20240611u;
    signal(SIGPIPE, SIG_IGN);  // a helper that dies shows as a failed write, not our death

    // Every stream on a pipe of its own, none of them ever blocking us.
    controller::Child h({argv[1], argv[2]}, {}, controller::Output::Pipe, controller::Output::Pipe);
    for (int fd : {h.stdin_fd(), h.stdout_fd(), h.stderr_fd()}) set_nonblocking(fd);

    // Reads whatever is there on stdout and stderr; false once stdout ended.
    std::vector<uint8_t> buf(1 << 20);
    uint8_t header[controller::kHeaderBytes];
    uint64_t streamBytes = 0, logLines = 0, logWarnings = 0;
    std::string logTail;  // the last lines, shown if the helper dies
    bool outOpen = true, errOpen = true;
    auto drain = [&]() {
        while (outOpen) {
            const ssize_t n = read(h.stdout_fd(), buf.data(), buf.size());
            if (n > 0) {
                for (uint64_t i = streamBytes; i < sizeof header && i < streamBytes + uint64_t(n); ++i)
                    header[i] = buf[i - streamBytes];
                streamBytes += uint64_t(n);
            } else if (n == 0 || errno != EINTR) {
                if (n == 0 || errno != EAGAIN) outOpen = false;
                break;
            }
        }
        while (errOpen) {
            char chunk[4096];
            const ssize_t n = read(h.stderr_fd(), chunk, sizeof chunk);
            if (n > 0) {
                for (ssize_t i = 0; i < n; ++i) {
                    logTail += chunk[i];
                    if (chunk[i] != '\n') continue;
                    ++logLines;
                    if (logTail.find("WARNING") != std::string::npos || logTail.find("ERROR") != std::string::npos ||
                        logTail.find("[keymap]") != std::string::npos) {
                        if (++logWarnings <= 5) fprintf(stderr, "soak: helper says: %s", logTail.c_str());
                    }
                    logTail.clear();
                }
            } else if (n == 0 || errno != EINTR) {
                if (n == 0 || errno != EAGAIN) errOpen = false;
                break;
            }
        }
        return outOpen;
    };
    auto wait_readable = [&](int timeoutMs, int writeFd) {
        pollfd fds[3] = {{outOpen ? h.stdout_fd() : -1, POLLIN, 0},
                         {errOpen ? h.stderr_fd() : -1, POLLIN, 0},
                         {writeFd, POLLOUT, 0}};
        poll(fds, 3, timeoutMs);
    };
    auto fail = [&](const char* why) {
        fprintf(stderr, "soak: %s (stream bytes %llu, log lines %llu)\n", why, (unsigned long long)streamBytes,
                (unsigned long long)logLines);
        h.kill(SIGKILL);
        h.wait(controller::kPatience);
        exit(1);
    };

    // The header and one whole frame, within 10 s.
    const auto launched = Clock::now();
    uint64_t frameBytes = 0;
    controller::StreamHeader stream{};
    while (frameBytes == 0 || streamBytes < sizeof header + frameBytes) {
        if (!drain()) fail("the stream ended before the first frame");
        if (seconds_since(launched) > 10) fail("no first frame within 10 s");
        if (frameBytes == 0 && streamBytes >= sizeof header) {
            stream = controller::decode_header(header);
            if (!controller::is_valid(stream)) fail("the stream does not start with the header");
            frameBytes = stream.frameBytes;
        }
        wait_readable(100, -1);
    }
    const uint16_t width = uint16_t(stream.width), height = uint16_t(stream.height);

    InputMix mix(seed, width, height);
    Bytes pending;  // bytes generated but not yet taken by the helper's stdin
    size_t backlogMax = 0;
    const auto inputStart = Clock::now();
    uint64_t due = 0;
    bool inOpen = true;
    // Writes as much of `pending` as the pipe takes; never blocks.
    auto flush_input = [&]() {
        while (inOpen && !pending.empty()) {
            const ssize_t n = write(h.stdin_fd(), pending.data(), pending.size());
            if (n > 0) {
                pending.erase(pending.begin(), pending.begin() + n);
            } else if (errno == EAGAIN) {
                break;
            } else if (errno != EINTR) {
                inOpen = false;
            }
        }
    };
    // Generates the messages due by now. A backlog means the helper is not
    // reading its stdin; new messages wait until it catches up.
    auto feed = [&]() {
        const uint64_t target = uint64_t(seconds_since(inputStart) * rate);
        while (due < target && pending.size() < 4096) {
            mix.next(pending);
            ++due;
        }
        due = std::max(due, target);
        flush_input();
        backlogMax = std::max(backlogMax, pending.size());
    };
    auto step = [&]() {
        feed();
        if (!drain()) fail("the stream ended early");
        if (!inOpen) fail("the helper's stdin closed early");
        wait_readable(2, pending.empty() ? -1 : h.stdin_fd());
    };

    const auto first = Clock::now();
    while (seconds_since(first) < warmup) step();

    const long rssStart = rss_kib(h.pid()), fdsStart = open_fds(h.pid());
    long rssMax = rssStart;
    const uint64_t bytesAtStart = streamBytes;
    const auto start = Clock::now();
    auto lastSample = start;
    while (seconds_since(start) < duration) {
        step();
        if (seconds_since(lastSample) >= 1) {
            lastSample = Clock::now();
            rssMax = std::max(rssMax, rss_kib(h.pid()));
        }
    }
    const double elapsed = seconds_since(start);
    const uint64_t frames = (streamBytes - bytesAtStart) / frameBytes;
    const long rssEnd = rss_kib(h.pid()), fdsEnd = open_fds(h.pid());
    rssMax = std::max(rssMax, rssEnd);

    // Let go of everything held, hand over the rest, then close stdin.
    mix.release_all(pending);
    const auto flushStart = Clock::now();
    while (!pending.empty() && inOpen && seconds_since(flushStart) < 2) {
        flush_input();
        drain();
        wait_readable(2, pending.empty() ? -1 : h.stdin_fd());
    }
    const bool inputDelivered = pending.empty() && inOpen;
    h.close_stdin();
    const auto closed = Clock::now();
    std::optional<int> status;
    while (!(status = h.wait(std::chrono::milliseconds(0))) && seconds_since(closed) < 2) {
        drain();
        wait_readable(5, -1);
    }
    const double exitAfter = seconds_since(closed);
    std::string exitText;
    bool ok = status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    if (status) {
        exitText = WIFEXITED(*status) ? "exited " + std::to_string(WEXITSTATUS(*status))
                                      : "killed by signal " + std::to_string(WTERMSIG(*status));
        char after[32];
        snprintf(after, sizeof after, " after %.2f s", exitAfter);
        exitText += after;
    } else {
        exitText = "still running after 2 s (killed)";
        h.kill(SIGKILL);
        h.wait(controller::kPatience);
    }
    const auto ended = Clock::now();
    while ((drain() || errOpen) && seconds_since(ended) < 2) wait_readable(100, -1);  // the log to its last line

    const double expected = elapsed * fps;
    const double missed = expected > double(frames) ? expected - double(frames) : 0;
    const uint64_t sent = mix.count();
    printf("| measure | value |\n|---|---|\n");
    printf("| duration (s, after %.0f s warm-up) | %.1f |\n", warmup, elapsed);
    printf("| fps (target / achieved) | %.0f / %.2f |\n", fps, double(frames) / elapsed);
    printf("| frames (%ux%u) | %llu |\n", width, height, (unsigned long long)frames);
    printf("| missed ticks | %.0f |\n", missed);
    printf("| RSS start / end / max (KiB) | %ld / %ld / %ld |\n", rssStart, rssEnd, rssMax);
    printf("| open fds start / end | %ld / %ld |\n", fdsStart, fdsEnd);
    printf("| messages sent (%.0f/s, seed %u) | %llu%s |\n", rate, seed, (unsigned long long)sent,
           inputDelivered ? "" : " (not all delivered)");
    printf("| stdin backlog max (bytes) | %zu |\n", backlogMax);
    printf("| log lines (warnings, errors, keymap) | %llu (%llu) |\n", (unsigned long long)logLines,
           (unsigned long long)logWarnings);
    printf("| exit after stdin closed | %s |\n", exitText.c_str());
    return ok && inputDelivered ? 0 : 1;
}
