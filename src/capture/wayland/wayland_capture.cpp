// The capture stream on a wlroots compositor: a thread that asks for a copy
// of the chosen output with the pointer drawn in, at most once per frame
// interval, and stores what changed. The copy waits for damage, so a still
// screen costs nothing until it changes; the writer repeats the last frame.

#include "capture/wayland/wayland_capture.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/capture_config.h"
#include "capture/capture_loop.h"
#include "capture/frame_region.h"
#include "capture/frame_store.h"
#include "capture/picture_store.h"
#include "capture/pixel_formats.h"
#include "capture/settings.h"
#include "capture/wayland/shm_buffer.h"
#include "platform/wayland/wayland_session.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace wayland {
namespace {

constexpr const char* kCompositorLostLine = "[capture] ERROR: lost the connection to the Wayland compositor\n";

using Clock = std::chrono::steady_clock;

enum class Picture { none, waiting, ready, failed };

}  // namespace

namespace {
bool take_first(Capture* s, std::string* why);
GrabResult grab_once(Capture* s);
}  // namespace

struct Capture final : PictureSource {
    bool take_first_picture(std::string* why) override { return take_first(this, why); }
    GrabResult grab() override { return grab_once(this); }
    const char* lost_lines() const override { return lostLines; }
    void wake() override {
        woken = true;
        const uint64_t one = 1;
        if (write(wakeFd, &one, sizeof one) < 0) {
            // Already signalled: the thread wakes all the same.
        }
    }

    std::unique_ptr<WaylandSession> session;
    wl_output* output = nullptr;
    DisplayInfo display;
    int wakeFd = -1;  // an eventfd: a stop wakes the thread from its wait

    // The copy in flight, and what the compositor said of it.
    zwlr_screencopy_frame_v1* frame = nullptr;
    Picture picture = Picture::none;
    std::unique_ptr<ShmBuffer> buffer;
    std::string bufferProblem;  // why the last copy could not be asked for
    bool upsideDown = false;
    std::vector<PixelRect> damage;
    bool stored = false;  // a whole picture is in the store

    std::atomic<bool> woken{false};  // a stop asked the thread to end
    const char* lostLines = nullptr;
    CaptureLoop loop{*this};
};

namespace {

// The compositor names the buffer it will copy into; we make it (or keep the
// last one) and ask for the copy, on damage where the protocol can wait.
void on_buffer(void* data, zwlr_screencopy_frame_v1* frame, uint32_t format, uint32_t width, uint32_t height,
               uint32_t stride) {
    auto* s = static_cast<Capture*>(data);
    if (pixel_order(format) == PixelOrder::unsupported) {
        char code[32];
        snprintf(code, sizeof code, "0x%08x", format);
        s->bufferProblem = std::string("the compositor offers pixel format ") + code + ", which is not 32-bit RGB";
        s->picture = Picture::failed;
        return;
    }
    if (!s->buffer || !s->buffer->matches(format, width, height, stride)) {
        s->buffer.reset();
        s->buffer = ShmBuffer::create(s->session->shm, format, width, height, stride, &s->bufferProblem);
        if (!s->buffer) {
            s->picture = Picture::failed;
            return;
        }
    }
    if (s->session->screencopyVersion >= 2) {
        zwlr_screencopy_frame_v1_copy_with_damage(frame, s->buffer->buffer());
    } else {
        zwlr_screencopy_frame_v1_copy(frame, s->buffer->buffer());
    }
}

void on_flags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
    static_cast<Capture*>(data)->upsideDown = flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
}

void on_ready(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
    static_cast<Capture*>(data)->picture = Picture::ready;
}

void on_failed(void* data, zwlr_screencopy_frame_v1*) { static_cast<Capture*>(data)->picture = Picture::failed; }

void on_damage(void* data, zwlr_screencopy_frame_v1*, uint32_t x, uint32_t y, uint32_t width, uint32_t height) {
    static_cast<Capture*>(data)->damage.push_back({x, y, width, height});
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {on_buffer, on_flags, on_ready, on_failed, on_damage};

void request_picture(Capture* s) {
    s->damage.clear();
    s->upsideDown = false;
    s->picture = Picture::waiting;
    s->frame = zwlr_screencopy_manager_v1_capture_output(s->session->screencopy, 1, s->output);
    zwlr_screencopy_frame_v1_add_listener(s->frame, &kFrameListener, s);
}

// Brings the store up to date with a copied picture: only what was damaged,
// once a whole picture is there. False when the store cannot be had.
bool store_picture(Capture* s) {
    const ShmBuffer& b = *s->buffer;
    const DamagedPicture picture{b.pixels(), b.stride(), b.width(), b.height(), pixel_order(b.format()),
                                 s->upsideDown, &s->damage};
    if (!store_damaged_picture(picture, s->stored)) return false;
    s->stored = s->stored || (frame_width() == b.width() && frame_height() == b.height());
    return true;
}

// Ends the copy in flight; a ready one goes into the store, a failed one is skipped.
GrabResult finish_picture(Capture* s) {
    const bool ready = s->picture == Picture::ready;
    const bool stored = ready && store_picture(s);
    zwlr_screencopy_frame_v1_destroy(s->frame);
    s->frame = nullptr;
    s->picture = Picture::none;
    if (ready && !stored) return GrabResult::lost;  // its lines are written
    return ready ? GrabResult::ok : GrabResult::skipped;
}

// Waits up to `timeoutMs` (-1: as long as it takes) for the compositor or a
// stop, and handles what the compositor sent. False once the connection is
// lost.
bool wait_and_dispatch(Capture* s, int timeoutMs) {
    wl_display* display = s->session->display;
    const auto flush = [display] { return wl_display_flush(display) >= 0 || errno == EAGAIN; };
    return pump_connection(display, timeoutMs, flush, s->wakeFd);
}

int milliseconds_until(Clock::time_point when) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Asks for a picture and waits for it: the copy waits for damage, so this
// may take long; a stop cuts the wait short, leaving the copy in flight.
GrabResult grab_once(Capture* s) {
    if (s->picture == Picture::none) request_picture(s);
    while (s->picture == Picture::waiting) {
        if (!wait_and_dispatch(s, -1)) {
            s->lostLines = kCompositorLostLine;
            return GrabResult::lost;
        }
        if (s->woken) return GrabResult::skipped;
    }
    return finish_picture(s);
}

// The first picture, taken before the stream is said to have started. False
// with `why` when the compositor will not give one.
bool take_first(Capture* s, std::string* why) {
    request_picture(s);
    const auto deadline = Clock::now() + std::chrono::seconds(kCaptureAnswerTimeoutSeconds);
    while (s->picture == Picture::waiting) {
        if (Clock::now() > deadline) {
            *why = "the compositor did not copy the output";
            return false;
        }
        if (!wait_and_dispatch(s, milliseconds_until(deadline))) {
            *why = "lost the connection to the Wayland compositor";
            return false;
        }
    }
    const bool ready = s->picture == Picture::ready;
    if (!ready) *why = s->bufferProblem.empty() ? "the compositor could not copy the output" : s->bufferProblem;
    return finish_picture(s) == GrabResult::ok;
}

}  // namespace

Capture* start_capture() {
    std::string why;
    auto session = open_wayland_session(&why);
    if (!session) {
        report_capture_failure(kShareableContentFailedLine, why);
        return nullptr;
    }
    const WaylandSession::Output* chosen = session->main_output();
    if (!chosen || !session->screencopy || !session->shm) {
        fputs(kNoDisplayLine, stderr);
        return nullptr;
    }
    fprintf(stderr, kDisplayLine, chosen->info.width, chosen->info.height, chosen->info.id);

    auto* s = new Capture;  // lives until the process ends
    s->output = chosen->output;
    s->display = chosen->info;
    s->session = std::move(session);
    s->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s->wakeFd < 0) {
        report_capture_failure(kStartFailedLine, strerror(errno));
        delete s;
        return nullptr;
    }
    if (!s->loop.start()) {
        delete s;
        return nullptr;
    }
    return s;
}

void stop_capture(Capture* stream, std::function<void(const char* error)> done) {
    stream->loop.stop(std::move(done));
}

}  // namespace wayland
