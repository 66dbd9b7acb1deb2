// The relay of Windows. The C runtime buffers the log, and a pump thread
// moves it on: it flushes that buffer into a pipe of ours that never blocks
// a writer (a write that does not fit goes nowhere), and drains the pipe into
// memory at once, for a writer thread to pass on to the real stderr, the only
// write that may wait. Written one byte at a time, as mingw's printf writes
// an unbuffered stream, a line would cost a system call a byte (under Wine a
// round trip to its server each); and Wine's pipes hold 64 KiB, whatever
// size they are asked for.

#include "platform/stderr_relay.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "platform/write_all.h"

namespace {

// How often the log is pumped: a reader sees a line that much later at most.
constexpr auto kPumpEvery = std::chrono::milliseconds(15);
// Two buffers of the C runtime's fit in a pipe of Wine's.
constexpr unsigned kLogBufferBytes = 1 << 15;
constexpr DWORD kPipeBytes = 1 << 20;
// What waits for the real stderr; more is dropped.
constexpr size_t kHeldBytes = 1 << 20;

struct Relay {
    HANDLE from = nullptr;  // the read end of our pipe
    int to = -1;            // the real stderr
    std::mutex lock;
    std::condition_variable changed;
    std::string held;  // taken from the pipe, not yet written
    bool writing = false;
    bool ending = false;  // flushed for the end: the C runtime is left alone
};
// Made once by main before the other threads start.
Relay* g_relay = nullptr;

// Moves what was logged into memory. Called with the lock held.
void pump(Relay& relay) {
    fflush(stderr);
    clearerr(stderr);  // a write that did not fit is gone; the next may fit
    char buffer[16384];
    DWORD waiting = 0, n = 0;
    while (PeekNamedPipe(relay.from, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
           ReadFile(relay.from, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &n, nullptr) && n > 0) {
        if (relay.held.size() + n <= kHeldBytes) relay.held.append(buffer, n);
    }
    if (!relay.held.empty()) relay.changed.notify_all();
}

void pump_thread(Relay* relay) {
    for (;;) {
        std::this_thread::sleep_for(kPumpEvery);
        std::lock_guard<std::mutex> guard(relay->lock);
        if (!relay->ending) pump(*relay);
    }
}

void writer_thread(Relay* relay) {
    std::string lines;
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(relay->lock);
            relay->writing = false;
            relay->changed.notify_all();
            relay->changed.wait(guard, [relay] { return !relay->held.empty(); });
            lines.swap(relay->held);
            relay->held.clear();
            relay->writing = true;
        }
        write_all(relay->to, lines.data(), lines.size());
    }
}

// The write end of a new pipe, as a C runtime descriptor that never blocks.
int non_blocking_pipe(HANDLE* readEnd) {
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(readEnd, &writeEnd, nullptr, kPipeBytes)) return -1;
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    const int fd = SetNamedPipeHandleState(writeEnd, &mode, nullptr, nullptr)
                       ? _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY)
                       : -1;
    if (fd < 0) {
        CloseHandle(writeEnd);
        CloseHandle(*readEnd);
    }
    return fd;
}

}  // namespace

void start_stderr_relay() {
    HANDLE readEnd = nullptr;
    const int pipeFd = non_blocking_pipe(&readEnd);
    if (pipeFd < 0) return;
    const int real = _dup(2);
    if (real < 0 || _dup2(pipeFd, 2) != 0) {
        if (real >= 0) _close(real);
        _close(pipeFd);
        CloseHandle(readEnd);
        return;
    }
    _close(pipeFd);
    SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(2)));
    setvbuf(stderr, nullptr, _IOFBF, kLogBufferBytes);
    auto* relay = new Relay;  // lives until the process ends
    relay->from = readEnd;
    relay->to = real;
    g_relay = relay;
    std::thread(pump_thread, relay).detach();
    std::thread(writer_thread, relay).detach();
    // Start-up failures return from main.
    atexit([] { flush_stderr_relay(kRelayFlushAtFailureMs); });
}

// The pipe stays in place: whatever is logged after this goes nowhere that
// blocks.
void flush_stderr_relay(int timeoutMs) {
    Relay* relay = g_relay;
    if (!relay) return;
    std::unique_lock<std::mutex> guard(relay->lock);
    pump(*relay);
    // The process is about to end: a flush of its stderr while the C runtime
    // is torn down could crash it.
    relay->ending = true;
    relay->changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [relay] { return relay->held.empty() && !relay->writing; });
}
