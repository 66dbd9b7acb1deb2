#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// Ownership of what XCB hands out: replies and errors are malloc'd, the
// connection has its own disconnect.

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;
using XcbError = std::unique_ptr<xcb_generic_error_t, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

// Some events come whether asked for or not (every client is told of a
// keymap change), and XCB keeps each until it is read: read and drop them,
// or a long session piles them up.
inline void discard_pending_events(xcb_connection_t* c) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) free(event);
}
