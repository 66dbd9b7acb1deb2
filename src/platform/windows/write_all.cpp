#include "platform/write_all.h"

#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>

bool write_all(int fd, const void* data, size_t size) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle, p, chunk, &written, nullptr)) {
            // A pipe whose reader has gone: ERROR_NO_DATA on Windows, under
            // Wine ERROR_PIPE_NOT_CONNECTED. The callers ask errno, as on
            // every platform.
            const DWORD error = GetLastError();
            const bool readerGone =
                error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
            errno = readerGone ? EPIPE : EIO;
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}
