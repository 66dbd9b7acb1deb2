// Windows cannot wait on a pipe for its end without reading it, and under
// Wine a pipe from a Linux parent cannot even be peeked. So stdin is
// relayed, once, through a pipe of ours: a thread copies the real stdin into
// it and says when the real one has ended; descriptor 0 becomes the read end,
// which ends in turn once drained.

#include "platform/stdin_watch.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <mutex>
#include <thread>

namespace {

constexpr DWORD kRelayBuffer = 1 << 16;

// Set by the relay when the real stdin has ended; null when there is no relay.
HANDLE g_stdinEnded = nullptr;

void relay(HANDLE from, HANDLE to) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(from, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        DWORD written = 0;
        if (!WriteFile(to, buffer, n, &written, nullptr)) break;
    }
    CloseHandle(to);
    SetEvent(g_stdinEnded);
}

// False when stdin cannot be relayed; it is then read as it is.
bool relay_stdin() {
    HANDLE real = nullptr, readEnd = nullptr, writeEnd = nullptr;
    // Our own handle to the real stdin: descriptor 0 closes its own below.
    if (!DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(_get_osfhandle(0)), GetCurrentProcess(), &real,
                         0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return false;
    }
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, kRelayBuffer)) {
        CloseHandle(real);
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(readEnd), _O_RDONLY | _O_BINARY);
    if (fd < 0 || _dup2(fd, 0) != 0) {
        CloseHandle(real), CloseHandle(writeEnd);
        fd < 0 ? CloseHandle(readEnd) : _close(fd);
        return false;
    }
    _close(fd);
    SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(0)));
    g_stdinEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread(relay, real, writeEnd).detach();
    return true;
}

}  // namespace

bool stdin_hung_up(int timeoutMs) {
    // Only the control thread reads stdin, and it asks this before it reads.
    static std::once_flag relayed;
    static bool relaying = false;
    std::call_once(relayed, [] { relaying = relay_stdin(); });
    if (!relaying) {
        Sleep(static_cast<DWORD>(timeoutMs));
        return false;
    }
    return WaitForSingleObject(g_stdinEnded, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}
