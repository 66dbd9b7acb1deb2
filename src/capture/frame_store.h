#pragma once

#include <cstddef>
#include <cstdint>

// The latest captured frame, kept packed (width * 4 bytes per row, BGRA,
// top row first) between the capture side and the frame writer. Sized once by
// the first frame; never shrinks, grows or goes away.

// Copies one frame into the store. `base` points at `height` rows spaced
// `bytesPerRow` apart, and stays readable for the duration of the call.
// Returns false only when the first frame cannot be stored at all (buffers
// not allocatable, or too large for the stream); the caller then ends the
// process with status 1.
bool store_frame(const uint8_t* base, size_t width, size_t height, size_t bytesPerRow);

// True once the first frame has sized the store (acquire: the size and the
// buffers are visible to a caller that sees true).
bool frame_dims_known();
// True once a complete frame has been stored.
bool frame_ready();
uint32_t frame_width();
uint32_t frame_height();

// Snapshots the latest frame into the writer's private buffer under the frame
// lock and returns that buffer (frame_width() * frame_height() * 4 bytes).
// Only the frame writer calls this, and only once frame_ready() is true.
const uint8_t* snapshot_frame();
