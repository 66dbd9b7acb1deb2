#pragma once

#include <wayland-client.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A wl_buffer in memory shared with the compositor, which copies the screen
// into it; we read it in place.
class ShmBuffer {
public:
    // Null, with `why` set, when the memory or the buffer cannot be had.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, uint32_t format, uint32_t width, uint32_t height,
                                             uint32_t stride, std::string* why);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    bool matches(uint32_t format, uint32_t width, uint32_t height, uint32_t stride) const;

    wl_buffer* buffer() const { return buffer_; }
    const uint8_t* pixels() const { return static_cast<const uint8_t*>(memory_); }
    uint32_t format() const { return format_; }
    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    uint32_t stride() const { return stride_; }

private:
    ShmBuffer() = default;

    int fd_ = -1;
    void* memory_ = nullptr;
    size_t size_ = 0;
    wl_buffer* buffer_ = nullptr;
    uint32_t format_ = 0, width_ = 0, height_ = 0, stride_ = 0;
};
