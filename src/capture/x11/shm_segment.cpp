#include "capture/x11/shm_segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>

#include "platform/x11/xcb_handles.h"

std::unique_ptr<ShmSegment> ShmSegment::create(xcb_connection_t* conn, size_t size, std::string* why) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn, &xcb_shm_id);
    if (!ext || !ext->present) {
        *why = "the X server has no MIT-SHM extension";
        return nullptr;
    }
    XcbReply<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(conn, xcb_shm_query_version(conn), nullptr));
    if (!version) {
        *why = "MIT-SHM version query failed";
        return nullptr;
    }

    const int shmId = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmId < 0) {
        *why = std::string("shmget: ") + strerror(errno);
        return nullptr;
    }
    void* addr = shmat(shmId, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        *why = std::string("shmat: ") + strerror(errno);
        shmctl(shmId, IPC_RMID, nullptr);
        return nullptr;
    }

    std::unique_ptr<ShmSegment> segment(new ShmSegment);
    segment->conn_ = conn;
    segment->data_ = static_cast<uint8_t*>(addr);
    segment->seg_ = xcb_generate_id(conn);
    // Checked: a server in another IPC namespace advertises MIT-SHM and
    // still cannot attach.
    XcbError error(xcb_request_check(conn, xcb_shm_attach_checked(conn, segment->seg_, shmId, 0)));
    shmctl(shmId, IPC_RMID, nullptr);
    if (error) {
        *why = "the X server could not attach the shared memory (error " +
               std::to_string(error->error_code) + ")";
        return nullptr;
    }
    segment->attached_ = true;
    return segment;
}

ShmSegment::~ShmSegment() {
    if (attached_) {
        xcb_shm_detach(conn_, seg_);
        xcb_flush(conn_);
    }
    if (data_) shmdt(data_);
}
