#include "capture/wayland/shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, uint32_t format, uint32_t width, uint32_t height,
                                             uint32_t stride, std::string* why) {
    std::unique_ptr<ShmBuffer> b(new ShmBuffer);
    b->size_ = size_t{stride} * height;
    if (width == 0 || height == 0 || stride < width * 4ull || b->size_ > INT32_MAX) {
        *why = "the compositor offered a buffer of " + std::to_string(width) + "x" + std::to_string(height);
        return nullptr;
    }
    b->fd_ = memfd_create("screenshare-frame", MFD_CLOEXEC);
    if (b->fd_ < 0 || ftruncate(b->fd_, static_cast<off_t>(b->size_)) != 0) {
        *why = std::string("shared memory: ") + strerror(errno);
        return nullptr;
    }
    b->memory_ = mmap(nullptr, b->size_, PROT_READ | PROT_WRITE, MAP_SHARED, b->fd_, 0);
    if (b->memory_ == MAP_FAILED) {
        b->memory_ = nullptr;
        *why = std::string("shared memory: ") + strerror(errno);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, b->fd_, static_cast<int32_t>(b->size_));
    b->buffer_ = wl_shm_pool_create_buffer(pool, 0, static_cast<int32_t>(width), static_cast<int32_t>(height),
                                           static_cast<int32_t>(stride), format);
    // The buffer keeps the memory shared; the pool is not needed again.
    wl_shm_pool_destroy(pool);
    b->format_ = format, b->width_ = width, b->height_ = height, b->stride_ = stride;
    return b;
}

ShmBuffer::~ShmBuffer() {
    if (buffer_) wl_buffer_destroy(buffer_);
    if (memory_) munmap(memory_, size_);
    if (fd_ >= 0) close(fd_);
}

bool ShmBuffer::matches(uint32_t format, uint32_t width, uint32_t height, uint32_t stride) const {
    return format == format_ && width == width_ && height == height_ && stride == stride_;
}
