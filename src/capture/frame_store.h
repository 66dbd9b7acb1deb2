#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// The latest captured frame, kept packed (width * 4 bytes per row, BGRA,
// top row first) between the capture side and the frame writer. Sized once by
// the first frame; never shrinks, grows or goes away.

// Copies one frame into the store. `base` points at `height` rows spaced
// `bytesPerRow` apart, and stays readable for the duration of the call.
// Returns false only when the first frame cannot be stored at all (buffers
// not allocatable, or too large for the stream); the caller then ends the
// process with status 1.
bool store_frame(const uint8_t* base, size_t width, size_t height, size_t bytesPerRow);

// Sizes the store for frames of width x height, once: later calls change
// nothing and report true. False when the buffers cannot be had (the line
// saying why is written); the caller then ends the process with status 1.
bool size_frame_store(size_t width, size_t height);

// Edits the stored frame in place, for a capture that changes only parts of
// it: under the frame lock, `edit(pixels)` may change rows [top, bottom) of the
// sized store (frame_width() * 4 bytes per row), which then counts as the
// latest frame. `replacesWhole`: the edit writes every pixel, so what the
// store held before does not matter. Whatever one edit leaves is what the
// writer may send, so one edit must leave a whole picture.
template <typename Edit>
void edit_frame(uint32_t top, uint32_t bottom, bool replacesWhole, Edit&& edit);

// True once the first frame has sized the store (acquire: the size and the
// buffers are visible to a caller that sees true).
bool frame_dims_known();
// True once a complete frame has been stored.
bool frame_ready();
uint32_t frame_width();
uint32_t frame_height();

// Snapshots the latest frame into the writer's private buffer under the frame
// lock and returns that buffer (frame_width() * frame_height() * 4 bytes).
// Only the rows stored since the last snapshot are copied; with none, nothing
// is. Only the frame writer calls this, and only once frame_ready() is true.
const uint8_t* snapshot_frame();

// What edit_frame calls: a plain function and its context, no allocation per edit.
void edit_frame_with(uint32_t top, uint32_t bottom, bool replacesWhole, void (*edit)(void* context, uint8_t* pixels),
                     void* context);

template <typename Edit>
void edit_frame(uint32_t top, uint32_t bottom, bool replacesWhole, Edit&& edit) {
    using Fn = std::remove_reference_t<Edit>;
    edit_frame_with(
        top, bottom, replacesWhole, [](void* f, uint8_t* pixels) { (*static_cast<Fn*>(f))(pixels); }, &edit);
}
