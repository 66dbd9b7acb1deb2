// screenshare-viewer [--] [COMMAND [ARGS...]]: shows the screen that a helper
// shares, in a window, and operates it with the local pointer and keyboard.
// COMMAND (by default the helper built beside this program) runs with its
// stdin and stdout on pipes; its stderr is passed through.

#include <SDL.h>
#include <limits.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "controller/child.h"
#include "viewer/frame_view.h"
#include "viewer/input_translator.h"
#include "viewer/stderr_tee.h"
#include "viewer/stream_thread.h"
#include "viewer/window_loss.h"

namespace {

using controller::Bytes, controller::Child, controller::Output, controller::StreamHeader;

constexpr const char* kName = "screenshare-viewer";
// How long the helper has to end once its stdin is closed, and its stderr to follow.
constexpr auto kStopWait = std::chrono::seconds(2);

std::vector<std::string> helper_command(int argc, char** argv) {
    const int first = argc > 1 && std::string(argv[1]) == "--" ? 2 : 1;
    if (first < argc) return {argv + first, argv + argc};
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self);
    const std::string path = n > 0 ? std::string(self, size_t(n)) : argv[0];
    return {path.substr(0, path.rfind('/') + 1) + "screenshare-helper"};
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

// The status a shell would give: the exit code, or 128 plus the signal.
int exit_status(std::optional<int> status) {
    if (status && WIFEXITED(*status)) return WEXITSTATUS(*status);
    if (status && WIFSIGNALED(*status)) return 128 + WTERMSIG(*status);
    return 1;
}

// Closing its stdin asks the helper to stop; one that has not after kStopWait is killed.
int stop(Child& helper) {
    helper.close_stdin();
    auto status = helper.wait(kStopWait);
    if (!status) {
        fprintf(stderr, "%s: the helper did not end within 2 s of its stdin closing; killing it\n", kName);
        helper.kill(SIGKILL);
        status = helper.wait(kStopWait);
    }
    return exit_status(status);
}

// The bytes B, G, R and one ignored, as the stream has them. Not BGRA32: a
// window has no alpha, and SDL's software renderer would then blit pixel by
// pixel; this way it copies rows.
constexpr Uint32 kFramePixels = SDL_BYTEORDER == SDL_LIL_ENDIAN ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_BGRX8888;

// Whether SDL's choice is OpenGL on one of Mesa's software rasterizers (no
// GPU: Xvfb, a virtual machine). These cost a 1080p frame three to four times
// what SDL's own software renderer does, but SDL takes OpenGL all the same.
bool draws_without_gpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::string_view(info.name).substr(0, 6) != "opengl") return false;
    using GetString = const unsigned char* (*)(unsigned);
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const auto* name = get_string ? reinterpret_cast<const char*>(get_string(0x1F01 /* GL_RENDERER */)) : nullptr;
    return name && (strstr(name, "llvmpipe") || strstr(name, "softpipe") || strstr(name, "swrast"));
}

// The window, its renderer and the one streaming texture the frames go to.
class FrameWindow {
public:
    explicit FrameWindow(WindowLoss& loss) : loss_(loss) {}
    ~FrameWindow() {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
    }

    bool open(const StreamHeader& h, const std::string& title) {
        frame_ = {int(h.width), int(h.height)};
        SDL_Rect room{0, 0, frame_.width, frame_.height};
        if (SDL_GetDisplayUsableBounds(0, &room) != 0) SDL_GetDisplayBounds(0, &room);
        const Size size = window_size(frame_, {room.w, room.h});
        window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, size.width,
                                   size.height, SDL_WINDOW_RESIZABLE);
        renderer_ = window_ ? SDL_CreateRenderer(window_, -1, 0) : nullptr;
        if (renderer_ && !SDL_GetHint(SDL_HINT_RENDER_DRIVER) && draws_without_gpu(renderer_)) {
            SDL_DestroyRenderer(renderer_);
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");  // the window's pixels in the X server's shared memory
            renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        }
        texture_ = renderer_ ? SDL_CreateTexture(renderer_, kFramePixels, SDL_TEXTUREACCESS_STREAMING, frame_.width,
                                                 frame_.height)
                             : nullptr;
        if (!texture_) return false;
        loss_.watch(window_);  // only now: an OpenGL renderer may have made the window anew
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
        resized();
        return true;
    }
    bool is_open() const { return texture_; }
    // Whether `e` says another client destroyed the window: as good as a close.
    bool lost(const SDL_Event& e) const { return loss_.is_loss(e); }

    void resized() {
        Size out{};
        SDL_GetRendererOutputSize(renderer_, &out.width, &out.height);
        outSize_ = out, shown_ = frame_rect(frame_, out);
        const bool scaled = shown_.width != frame_.width || shown_.height != frame_.height;
        SDL_SetTextureScaleMode(texture_, scaled ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    }
    void show(const Bytes& frame) {
        SDL_UpdateTexture(texture_, nullptr, frame.data(), frame_.width * 4);
        redraw();
    }
    void redraw() {
        if (shown_.width != outSize_.width || shown_.height != outSize_.height) {
            SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
            SDL_RenderClear(renderer_);
        }
        const SDL_Rect to{shown_.x, shown_.y, shown_.width, shown_.height};
        SDL_RenderCopy(renderer_, texture_, nullptr, &to);
        SDL_RenderPresent(renderer_);
    }
    FramePixel at(int x, int y) const { return frame_pixel(frame_, shown_, x, y); }

private:
    WindowLoss& loss_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    Size frame_{}, outSize_{};
    Rect shown_{};
};

// Runs the window until it is closed or the helper ends; the exit status.
int run(Child& helper, StreamThread& stream, StderrTee& tee, Uint32 wakeEvent, const std::string& title,
        WindowLoss& loss) {
    FrameWindow window(loss);
    InputTranslator input;
    Bytes frame;
    uint64_t framesShown = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto send = [&](const Bytes& messages) {
        if (!messages.empty()) helper.send(messages);  // a helper that has gone ends the stream: handled there
    };
    for (SDL_Event e; SDL_WaitEvent(&e);) {
        do {
            if (e.type == wakeEvent) {
                const auto header = stream.header();
                if (header && !window.is_open()) {
                    if (!controller::is_valid(*header)) {
                        fprintf(stderr,
                                "%s: not a stream this viewer reads: %s (it reads magic=ZNTV version=1 format=BGRA)\n",
                                kName, controller::describe(*header).c_str());
                        helper.close_stdout();  // nobody reads it now: a write fails rather than waits
                        stop(helper);
                        return 1;
                    }
                    if (!window.open(*header, title)) {
                        fprintf(stderr, "%s: cannot open a window for %ux%u frames: %s\n", kName, header->width,
                                header->height, SDL_GetError());
                        stop(helper);
                        return 1;
                    }
                }
                if (stream.take_frame(frame)) window.show(frame), ++framesShown;
                if (stream.ended()) {
                    const int status = stop(helper);
                    const std::string why = tee.last_line(kStopWait);
                    fprintf(stderr, "%s: the helper ended (exit status %d)%s%s\n", kName, status,
                            why.empty() ? "" : ": ", why.c_str());
                    return status ? status : 1;
                }
                continue;
            }
            switch (e.type) {
                case SDL_SYSWMEVENT:
                    if (!window.lost(e)) break;
                    [[fallthrough]];
                case SDL_QUIT: {
                    // Whether the window kept up with the stream.
                    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
                    fprintf(stderr, "%s: %llu frames shown of %llu read in %.1f s\n", kName,
                            (unsigned long long)framesShown, (unsigned long long)stream.frames_read(), took.count());
                    return stop(helper);
                }
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) window.resized(), window.redraw();
                    if (e.window.event == SDL_WINDOWEVENT_EXPOSED) window.redraw();
                    break;
                case SDL_KEYDOWN: send(input.key_down(e.key.keysym.sym, e.key.keysym.scancode)); break;
                case SDL_KEYUP: send(input.key_up(e.key.keysym.scancode)); break;
                case SDL_TEXTINPUT: send(input.text_input(e.text.text)); break;
                case SDL_MOUSEMOTION:
                    if (window.is_open()) send(input.move(window.at(e.motion.x, e.motion.y)));
                    break;
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP:
                    if (window.is_open()) {
                        send(input.button(e.button.button, e.type == SDL_MOUSEBUTTONDOWN,
                                          window.at(e.button.x, e.button.y)));
                    }
                    break;
                case SDL_MOUSEWHEEL:
                    send(input.wheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.preciseY
                                                                                 : e.wheel.preciseY));
                    break;
            }
        } while (SDL_PollEvent(&e));
        send(input.end_of_events());
    }
    fprintf(stderr, "%s: %s\n", kName, SDL_GetError());
    stop(helper);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);  // a helper gone shows as its stream ending
    const auto command = helper_command(argc, argv);
    // SDL drops a click that comes within 10 ms of the window taking the focus;
    // where focus follows the pointer, that is a click right after entering.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    WindowLoss windowLoss;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "%s: cannot start SDL: %s\n", kName, SDL_GetError());
        return 1;
    }
    const Uint32 wakeEvent = SDL_RegisterEvents(1);
    int status;
    {
        Child helper(command, {}, Output::Pipe, Output::Pipe);
        if (helper.pid() < 0) {
            fprintf(stderr, "%s: cannot run %s\n", kName, command[0].c_str());
            SDL_Quit();
            return 127;
        }
        StderrTee tee(helper.stderr_fd());
        StreamThread stream(helper.stdout_fd(), [wakeEvent] {
            SDL_Event e{};
            e.type = wakeEvent;
            SDL_PushEvent(&e);
        });
        status = run(helper, stream, tee, wakeEvent, std::string(kName) + ": " + joined(command), windowLoss);
        if (!stream.join(kStopWait)) fflush(stderr), std::_Exit(status);
    }
    SDL_Quit();
    return status;
}
