// A small controller for the demo: starts the helper with pipes, saves the
// first and the last frame as PNGs and the whole stream as a video, and closes
// the helper's stdin (the stop request) at the end, reporting how it ended.
// Given a terminal to operate, it also types a line into it and double-clicks a
// word, through the helper's stdin only, and reads both back to say whether the
// input arrived.
// Usage: demo_controller HELPER OUT_DIR SECONDS [--terminal X Y CELL_W CELL_H LINE_FILE]
//   X, Y: root position of the terminal's first character cell; the terminal
//   reads the typed line on its second row and writes it to LINE_FILE.

#include <png.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "controller/child.h"
#include "controller/frame_reader.h"
#include "controller/messages.h"

namespace {

using controller::Bytes;

using Clock = std::chrono::steady_clock;

// What the remote user types: key messages for the ASCII part, text messages
// for the accent and the emoji. The double-click selects kWord.
constexpr const char* kKeyedPart = "Hello, World! Typed remotely: caf";
constexpr uint32_t kAccent = 0xE9;     // é
constexpr uint32_t kEmoji = 0x1F600;   // grinning face
constexpr const char* kExpectedLine = "Hello, World! Typed remotely: caf\u00e9 \U0001F600";
constexpr std::string_view kWord = "remotely";
// Its bytes before the word are ASCII, one terminal column each.
constexpr int kWordColumn = static_cast<int>(std::string_view(kExpectedLine).find(kWord));
constexpr int kLineRow = 1;

constexpr auto kLineDeadline = std::chrono::seconds(20);
constexpr auto kSelectionDeadline = std::chrono::seconds(10);
constexpr auto kSelectionPoll = std::chrono::milliseconds(200);

// AWT virtual key codes.
constexpr uint16_t kVkEnter = 10, kVkShift = 16, kVkSpace = 32;

struct Terminal {
    int x, y, cellWidth, cellHeight;
    std::string lineFile;
};

bool save_png(const std::string& path, const uint8_t* bgra, uint32_t width, uint32_t height) {
    FILE* file = fopen(path.c_str(), "wb");
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

void report_saved(bool ok, const char* what, const std::string& path) {
    if (ok) {
        printf("%s saved to %s\n", what, path.c_str());
    } else {
        fprintf(stderr, "demo: could not write %s\n", path.c_str());
    }
}

// The frames as they arrived, encoded by ffmpeg on a thread of its own, so
// that a slow encoder does not slow the reading of the stream: it catches up
// at the end, and drops frames only once kMaxQueued are waiting.
class VideoEncoder {
public:
    static constexpr size_t kMaxQueued = 32;

    bool start(const std::string& path, uint32_t width, uint32_t height, uint32_t fps) {
        if (system("command -v ffmpeg >/dev/null 2>&1") != 0) {
            fprintf(stderr, "demo: no ffmpeg, no video\n");
            return false;
        }
        const std::string command = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt bgra -s " +
                                    std::to_string(width) + "x" + std::to_string(height) + " -r " +
                                    std::to_string(fps) + " -i - -c:v libx264 -preset ultrafast -pix_fmt yuv420p '" +
                                    path + "'";
        pipe_ = popen(command.c_str(), "w");
        if (!pipe_) return false;
        thread_ = std::thread([this] { run(); });
        return true;
    }

    void push(const std::vector<uint8_t>& frame) {
        if (!pipe_) return;
        std::lock_guard<std::mutex> guard(lock_);
        if (queue_.size() >= kMaxQueued) {
            ++dropped_;
            return;
        }
        queue_.push_back(frame);
        wake_.notify_one();
    }

    // Waits for the encoder to take every queued frame and finish the file.
    bool finish() {
        if (!pipe_) return false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            closing_ = true;
            wake_.notify_one();
        }
        thread_.join();
        const bool ok = pclose(pipe_) == 0 && !failed_;
        pipe_ = nullptr;
        if (dropped_ > 0) fprintf(stderr, "demo: the video encoder fell behind; %zu frames left out\n", dropped_);
        return ok;
    }

private:
    void run() {
        for (;;) {
            std::unique_lock<std::mutex> held(lock_);
            wake_.wait(held, [&] { return closing_ || !queue_.empty(); });
            if (queue_.empty()) return;
            std::vector<uint8_t> frame = std::move(queue_.front());
            queue_.pop_front();
            held.unlock();
            if (!failed_ && fwrite(frame.data(), 1, frame.size(), pipe_) != frame.size()) failed_ = true;
        }
    }

    FILE* pipe_ = nullptr;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::vector<uint8_t>> queue_;
    bool closing_ = false;
    bool failed_ = false;  // the encoder's thread only
    size_t dropped_ = 0;
};

using controller::append, controller::kPress, controller::kRelease;

void tap_key(Bytes& out, uint16_t vk) {
    append(out, controller::key(vk, kPress)), append(out, controller::key(vk, kRelease));
}
void tap_text(Bytes& out, uint32_t cp) {
    append(out, controller::text(cp, kPress)), append(out, controller::text(cp, kRelease));
}

// The key on a US keyboard that types `c`, and whether it needs Shift.
std::optional<std::pair<uint16_t, bool>> us_key(char c) {
    if (c >= 'a' && c <= 'z') return std::pair{uint16_t(c - 'a' + 'A'), false};
    if (c >= 'A' && c <= 'Z') return std::pair{uint16_t(c), true};
    if (c >= '0' && c <= '9') return std::pair{uint16_t(c), false};
    switch (c) {
        case ' ': return std::pair{kVkSpace, false};
        case ',': return std::pair{uint16_t(44), false};
        case '.': return std::pair{uint16_t(46), false};
        case '!': return std::pair{uint16_t('1'), true};
        case ':': return std::pair{uint16_t(59), true};
        default: return std::nullopt;
    }
}

// One piece per frame, so that the typing can be watched in the video.
std::vector<Bytes> typing_messages(const Terminal& t) {
    std::vector<Bytes> pieces(1);
    // Without a window manager the keyboard follows the pointer.
    pieces.back() = controller::move_to(uint16_t(t.x + 10 * t.cellWidth),
                                        uint16_t(t.y + kLineRow * t.cellHeight + t.cellHeight / 2));
    for (const char* c = kKeyedPart; *c; ++c) {
        const auto key = us_key(*c);
        if (!key) continue;
        auto& out = pieces.emplace_back();
        if (key->second) append(out, controller::key(kVkShift, kPress));
        tap_key(out, key->first);
        if (key->second) append(out, controller::key(kVkShift, kRelease));
    }
    tap_text(pieces.emplace_back(), kAccent);
    tap_key(pieces.emplace_back(), kVkSpace);
    tap_text(pieces.emplace_back(), kEmoji);
    tap_key(pieces.emplace_back(), kVkEnter);
    return pieces;
}

Bytes double_click_messages(const Terminal& t) {
    const int middle = kWordColumn + static_cast<int>(kWord.size()) / 2;
    Bytes out = controller::move_to(uint16_t(t.x + middle * t.cellWidth + t.cellWidth / 2),
                                    uint16_t(t.y + kLineRow * t.cellHeight + t.cellHeight / 2));
    for (int i = 0; i < 2; ++i) {
        append(out, controller::button(controller::kLeftButton, kPress));
        append(out, controller::button(controller::kLeftButton, kRelease));
    }
    return out;
}

std::string read_file(const std::string& path) {
    std::string text;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

std::string primary_selection() {
    std::string text;
    if (FILE* p = popen("xclip -o -selection primary 2>/dev/null", "r")) {
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) text.append(buffer, n);
        pclose(p);
    }
    return text;
}

// Types, waits for the line to come back, double-clicks, waits for the
// selection; one step per arriving frame, so the stream keeps being read.
class Operator {
public:
    explicit Operator(Terminal t) : terminal_(std::move(t)), typing_(typing_messages(terminal_)) {}

    bool done() const { return step_ == Step::Done; }
    bool line_arrived() const { return line_ == std::string(kExpectedLine) + "\n"; }
    bool word_arrived() const { return selection_ == kWord; }
    const std::string& line() const { return line_; }
    const std::string& selection() const { return selection_; }

    void on_frame(controller::Child& helper) {
        const auto now = Clock::now();
        switch (step_) {
            case Step::Type:
                if (typed_ == 0) printf("typing into the terminal: \"%s\"\n", kExpectedLine);
                send(helper, typing_[typed_]);
                if (++typed_ == typing_.size()) advance(Step::AwaitLine, now + kLineDeadline);
                break;
            case Step::AwaitLine:
                line_ = read_file(terminal_.lineFile);
                if (line_.empty() || line_.back() != '\n') {
                    if (now > deadline_) advance(Step::Done, now);
                    break;
                }
                send(helper, double_click_messages(terminal_));
                printf("double-clicking \"%.*s\"\n", static_cast<int>(kWord.size()), kWord.data());
                advance(Step::AwaitSelection, now + kSelectionDeadline);
                break;
            case Step::AwaitSelection:
                if (now < nextPoll_) break;
                nextPoll_ = now + kSelectionPoll;
                selection_ = primary_selection();
                if (word_arrived() || now > deadline_) advance(Step::Done, now);
                break;
            case Step::Done: break;
        }
    }

private:
    enum class Step { Type, AwaitLine, AwaitSelection, Done };

    void advance(Step next, Clock::time_point deadline) { step_ = next, deadline_ = deadline; }
    static void send(controller::Child& helper, const Bytes& bytes) {
        if (!helper.send(bytes)) {
            fprintf(stderr, "demo: could not write to the helper\n");
        }
    }

    Terminal terminal_;
    std::vector<Bytes> typing_;
    size_t typed_ = 0;
    Step step_ = Step::Type;
    Clock::time_point deadline_, nextPoll_;
    std::string line_, selection_;
};

// Closes the helper's stdin, the stop request, and waits for it to end.
int stop_helper(controller::Child& helper) {
    helper.close_stdin();
    return helper.exit_code();
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Terminal> terminal;
    if (argc == 10 && strcmp(argv[4], "--terminal") == 0) {
        terminal = Terminal{atoi(argv[5]), atoi(argv[6]), atoi(argv[7]), atoi(argv[8]), argv[9]};
    }
    if (argc != 4 && !terminal) {
        fprintf(stderr, "usage: %s HELPER OUT_DIR SECONDS [--terminal X Y CELL_W CELL_H LINE_FILE]\n", argv[0]);
        return 2;
    }
    setvbuf(stdout, nullptr, _IOLBF, 0);  // keep our lines in order with the helper's log
    const std::string outDir = argv[2];
    const double seconds = atof(argv[3]);
    signal(SIGPIPE, SIG_IGN);
    // Its log goes to our stderr, among our own lines.
    controller::Child helper({argv[1]}, {}, controller::Output::Pipe, controller::Output::Inherit);

    const auto header = controller::read_header(helper.stdout_fd());
    if (header) printf("header: %s\n", controller::describe(*header).c_str());
    if (!header || !controller::is_valid(*header)) {
        fprintf(stderr, header ? "demo: not a valid frame stream\n" : "demo: the helper sent no header\n");
        printf("helper exit status: %d\n", stop_helper(helper));
        return 1;
    }
    const uint32_t width = header->width, height = header->height;

    const std::string videoPath = outDir + "/demo.mp4";
    VideoEncoder video;
    const bool recording = video.start(videoPath, width, height, header->fps);
    std::optional<Operator> op;
    if (terminal) op.emplace(*terminal);

    Bytes frame;
    uint64_t frames = 0;
    auto start = Clock::now();
    double elapsed = 0;
    while ((elapsed < seconds || (op && !op->done())) && controller::read_frame(helper.stdout_fd(), *header, frame)) {
        if (frames++ == 0) {
            start = Clock::now();  // the rate counts from the first frame on
            report_saved(save_png(outDir + "/demo-first.png", frame.data(), width, height), "first frame",
                         outDir + "/demo-first.png");
        }
        video.push(frame);
        if (op) op->on_frame(helper);
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    }
    printf("frames: %llu in %.2f s = %.1f fps\n", static_cast<unsigned long long>(frames), elapsed,
           elapsed > 0 ? static_cast<double>(frames - 1) / elapsed : 0.0);
    if (frames > 0) {
        report_saved(save_png(outDir + "/demo-last.png", frame.data(), width, height), "last frame",
                     outDir + "/demo-last.png");
    }
    const int status = stop_helper(helper);
    printf("stdin closed; helper exit status: %d\n", status);
    if (recording) report_saved(video.finish(), "video", videoPath);
    bool inputOk = true;
    if (op) {
        std::string line = op->line();
        if (!line.empty() && line.back() == '\n') line.pop_back();
        printf("typed line arrived: %s (the terminal read \"%s\")\n", op->line_arrived() ? "yes" : "NO", line.c_str());
        printf("selected word arrived: %s (the selection holds \"%s\")\n", op->word_arrived() ? "yes" : "NO",
               op->selection().c_str());
        inputOk = op->line_arrived() && op->word_arrived();
    }
    return status == 0 && inputOk ? 0 : 1;
}
