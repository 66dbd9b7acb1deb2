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
