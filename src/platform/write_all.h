#pragma once

#include <cstddef>

// Writes all `size` bytes to `fd`, continuing short writes, retrying EINTR
// and waiting out EAGAIN on a non-blocking descriptor, so that a reader never
// receives part of a frame followed by something else. Returns false when the
// descriptor refuses the data (the reader has gone, for instance); the caller
// decides whether that matters.
bool write_all(int fd, const void* data, size_t size);
