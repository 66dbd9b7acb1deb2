#pragma once

#include <xcb/shm.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// A System V shared memory segment that the X server writes screen images
// into. Private to this user (0600) and marked for removal as soon as the
// server has attached it, so nothing is left behind if the process is killed.
class ShmSegment {
public:
    // Creates and attaches a segment of `size` bytes, or returns null with
    // `why` saying what did not work.
    static std::unique_ptr<ShmSegment> create(xcb_connection_t* conn, size_t size, std::string* why);
    ~ShmSegment();
    ShmSegment(const ShmSegment&) = delete;
    ShmSegment& operator=(const ShmSegment&) = delete;

    xcb_shm_seg_t id() const { return seg_; }
    uint8_t* data() const { return data_; }

private:
    ShmSegment() = default;

    xcb_connection_t* conn_ = nullptr;
    xcb_shm_seg_t seg_ = 0;
    bool attached_ = false;
    uint8_t* data_ = nullptr;
};
