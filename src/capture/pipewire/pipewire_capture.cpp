// The capture stream from a PipeWire screen cast: the stream's own thread
// (PipeWire's thread loop) stores each picture as it comes, only its damaged
// parts where the stream says which. The desktop sends a picture only when
// the screen changed; the writer repeats the last one meanwhile.

#include "capture/pipewire/pipewire_capture.h"

#include <fcntl.h>
#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/capture_config.h"
#include "platform/failure_exit.h"
#include "capture/frame_region.h"
#include "capture/frame_store.h"
#include "capture/picture_store.h"
#include "capture/pixel_formats.h"
#include "capture/settings.h"

namespace pipewire {
namespace {

constexpr const char* kStreamLostLine = "[capture] ERROR: lost the PipeWire stream: %s\n";
constexpr const char* kGpuMemoryOnly =
    "the screen cast offers its frames only as DMA-BUF (GPU memory), which this helper cannot read";

constexpr uint32_t kMaxSide = 16384;

PixelOrder order_of(uint32_t videoFormat) {
    switch (videoFormat) {
        case SPA_VIDEO_FORMAT_BGRx:
        case SPA_VIDEO_FORMAT_BGRA:
            return PixelOrder::bgrx;
        case SPA_VIDEO_FORMAT_RGBx:
        case SPA_VIDEO_FORMAT_RGBA:
            return PixelOrder::rgbx;
        default:
            return PixelOrder::unsupported;
    }
}

}  // namespace

struct Capture {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener{}, streamListener{};

    // Touched on the loop's thread, or under its lock.
    spa_video_info_raw format{};
    bool formatKnown = false;
    bool stored = false;    // a whole picture is in the store
    bool stopping = false;  // asked to stop: the stream's end is no failure
    std::string problem;    // why no picture can come, before the first
    std::vector<PixelRect> damage;
};

namespace {

// A failure of the stream: before the first picture it is the start's to
// report; after it, the capture is lost and the helper ends.
void fail(Capture* s, const std::string& why) {
    if (s->stopping) return;
    if (s->stored) {
        char line[512];
        snprintf(line, sizeof line, kStreamLostLine, why.c_str());
        capture_lost(line);
    }
    if (s->problem.empty()) s->problem = why;
    pw_thread_loop_signal(s->loop, false);
}

void on_core_error(void* data, uint32_t id, int, int res, const char* message) {
    auto* s = static_cast<Capture*>(data);
    if (id == PW_ID_CORE) fail(s, std::string("PipeWire: ") + (message ? message : strerror(-res)));
}

const pw_core_events kCoreEvents = [] {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = on_core_error;
    return events;
}();

void on_state_changed(void* data, pw_stream_state, pw_stream_state state, const char* error) {
    auto* s = static_cast<Capture*>(data);
    if (state == PW_STREAM_STATE_ERROR) {
        const std::string what = error ? error : "stream error";
        // Formats in GPU memory only find no match with ours.
        const bool noFormat = !s->formatKnown && what.find("format") != std::string::npos;
        fail(s, noFormat ? what + " (" + kGpuMemoryOnly + "?)" : what);
    } else if (state == PW_STREAM_STATE_UNCONNECTED) {
        fail(s, "the screen cast ended");
    }
}

// The format is agreed: ask for buffers in memory we can map, and for the
// damage of each picture.
void on_param_changed(void* data, uint32_t id, const spa_pod* param) {
    auto* s = static_cast<Capture*>(data);
    if (id != SPA_PARAM_Format || !param) return;
    uint32_t mediaType = 0, mediaSubtype = 0;
    if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
        mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &s->format) < 0) {
        return;
    }
    if (order_of(s->format.format) == PixelOrder::unsupported) {
        fail(s, "the screen cast's pixel format " + std::to_string(s->format.format) + " is not 32-bit RGB");
        return;
    }
    s->formatKnown = true;
    uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    const int regionSize = sizeof(spa_meta_region);
    const spa_pod* params[] = {
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemFd) | (1 << SPA_DATA_MemPtr)))),
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoDamage),
            SPA_PARAM_META_size,
            SPA_POD_CHOICE_RANGE_Int(regionSize * int(kMaxCopyRects), regionSize, regionSize * int(kMaxCopyRects)))),
    };
    pw_stream_update_params(s->stream, params, 2);
}

// Brings the store up to date with one picture: only what was damaged, once
// a whole picture is there.
void store_buffer(Capture* s, spa_buffer* buffer) {
    const spa_data& d = buffer->datas[0];
    if (d.type == SPA_DATA_DmaBuf) {
        fail(s, kGpuMemoryOnly);
        return;
    }
    // A buffer with no picture (only the pointer moved, in some modes) or a damaged one is passed over.
    if (!s->formatKnown || !d.data || !d.chunk || d.chunk->size == 0 || (d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED))
        return;
    const uint32_t width = s->format.size.width, height = s->format.size.height;
    const size_t stride = d.chunk->stride > 0 ? size_t(d.chunk->stride) : size_t(width) * 4;
    if (width == 0 || height == 0 || stride < size_t(width) * 4 ||
        size_t(d.chunk->offset) + stride * (height - 1) + size_t(width) * 4 > d.maxsize) {
        return;
    }
    s->damage.clear();
    if (spa_meta* meta = spa_buffer_find_meta(buffer, SPA_META_VideoDamage)) {
        spa_meta_region* r;
        spa_meta_for_each(r, meta) {
            if (!spa_meta_region_is_valid(r)) break;
            const spa_region& area = r->region;
            s->damage.push_back({area.position.x, area.position.y, area.size.width, area.size.height});
        }
    }
    const DamagedPicture picture{static_cast<const uint8_t*>(d.data) + d.chunk->offset, stride, width, height,
                                 order_of(s->format.format), false, &s->damage};
    if (!store_damaged_picture(picture, s->stored)) capture_lost(nullptr);  // its lines are written
    // A size change leaves the stream at its first size: such pictures are skipped.
    if (frame_width() != width || frame_height() != height) return;
    if (!s->stored) {
        s->stored = true;
        pw_thread_loop_signal(s->loop, false);
    }
}

// Every picture is stored in turn: one passed over would leave its damage behind.
void on_process(void* data) {
    auto* s = static_cast<Capture*>(data);
    while (pw_buffer* b = pw_stream_dequeue_buffer(s->stream)) {
        if (!s->stopping) store_buffer(s, b->buffer);
        pw_stream_queue_buffer(s->stream, b);
    }
}

const pw_stream_events kStreamEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = on_state_changed;
    events.param_changed = on_param_changed;
    events.process = on_process;
    return events;
}();

// The formats we take: 32-bit RGB of any size, at most TARGET_FPS pictures a second.
bool connect_stream(Capture* s, uint32_t node) {
    uint8_t storage[1024];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    spa_rectangle size{1280, 720}, minSize{1, 1}, maxSize{kMaxSide, kMaxSide};
    spa_fraction anyRate{0, 1}, maxRate{TARGET_FPS, 1}, slowest{1, 1};
    const spa_pod* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                               SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &minSize, &maxSize), SPA_FORMAT_VIDEO_framerate,
        SPA_POD_Fraction(&anyRate), SPA_FORMAT_VIDEO_maxFramerate,
        SPA_POD_CHOICE_RANGE_Fraction(&maxRate, &slowest, &maxRate)));
    s->stream = pw_stream_new(s->core, "screenshare-helper",
                              pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!s->stream) return false;
    pw_stream_add_listener(s->stream, &s->streamListener, &kStreamEvents, s);
    return pw_stream_connect(s->stream, PW_DIRECTION_INPUT, node,
                             static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
                             &format, 1) == 0;
}

void destroy(Capture* s) {
    if (s->loop) pw_thread_loop_stop(s->loop);
    if (s->stream) pw_stream_destroy(s->stream);
    if (s->core) pw_core_disconnect(s->core);
    if (s->context) pw_context_destroy(s->context);
    if (s->loop) pw_thread_loop_destroy(s->loop);
    delete s;
}

// What a stream that has sent no picture waits for: its state, and the
// session manager without which nothing links it to the screen cast. Under
// the loop's lock.
std::string stream_waits_for(Capture* s) {
    const char* error = nullptr;
    const pw_stream_state state = s->stream ? pw_stream_get_state(s->stream, &error) : PW_STREAM_STATE_UNCONNECTED;
    std::string what = std::string("the PipeWire stream is ") + pw_stream_state_as_string(state);
    if (error) what += std::string(" (") + error + ")";
    return what + "; a session manager such as WirePlumber must be running";
}

}  // namespace

Capture* start_capture(UniqueFd remote, uint32_t node) {
    pw_init(nullptr, nullptr);
    auto* s = new Capture;  // lives until the process ends
    s->loop = pw_thread_loop_new("pipewire-capture", nullptr);
    s->context = s->loop ? pw_context_new(pw_thread_loop_get_loop(s->loop), nullptr, 0) : nullptr;
    if (!s->context || pw_thread_loop_start(s->loop) < 0) {
        report_capture_failure(kStartFailedLine, "cannot set up PipeWire");
        destroy(s);
        return nullptr;
    }
    pw_thread_loop_lock(s->loop);
    // PipeWire takes the descriptor it is given; the portal's stays ours.
    const int fd = remote.valid() ? fcntl(remote.get(), F_DUPFD_CLOEXEC, 3) : -1;
    s->core = remote.valid() ? (fd >= 0 ? pw_context_connect_fd(s->context, fd, nullptr, 0) : nullptr)
                             : pw_context_connect(s->context, nullptr, 0);
    std::string why;
    if (!s->core) {
        why = std::string("cannot connect to PipeWire: ") + strerror(errno);
    } else {
        pw_core_add_listener(s->core, &s->coreListener, &kCoreEvents, s);
        if (!connect_stream(s, node)) why = "cannot connect to the screen cast's PipeWire stream";
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kFirstPictureTimeoutSeconds);
    bool timedOut = false;
    while (why.empty() && !s->stored && s->problem.empty()) {
        if (std::chrono::steady_clock::now() > deadline) {
            timedOut = true;
            break;
        }
        pw_thread_loop_timed_wait(s->loop, 1);
    }
    if (why.empty()) why = s->problem;
    const std::string waitingFor = timedOut ? stream_waits_for(s) : std::string();
    pw_thread_loop_unlock(s->loop);
    if (!s->stored) {
        if (timedOut) {
            report_no_first_picture(waitingFor);
        } else {
            report_capture_failure(kStartFailedLine, why);
        }
        destroy(s);
        return nullptr;
    }
    fputs(kStartedLine, stderr);
    return s;
}

void stop_capture(Capture* s, std::function<void(const char* error)> done) {
    pw_thread_loop_lock(s->loop);
    s->stopping = true;
    pw_stream_disconnect(s->stream);
    pw_thread_loop_unlock(s->loop);
    done(nullptr);
}

}  // namespace pipewire
