#include "platform/stderr_relay.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/write_all.h"

namespace {

struct Relay {
    int from = -1;  // the read end of our pipe
    int to = -1;    // the real stderr
    std::mutex lock;
    std::condition_variable drained;
    bool done = false;
    bool flushing = false;
};
// Made once by main before the other threads start.
Relay* g_relay = nullptr;

void* relay_thread(void* arg) {
    auto* relay = static_cast<Relay*>(arg);
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(relay->from, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) continue;  // EINTR; a pipe's read end reports nothing else
        write_all(relay->to, buffer, static_cast<size_t>(n));
    }
    std::lock_guard<std::mutex> guard(relay->lock);
    relay->done = true;
    relay->drained.notify_all();
    return nullptr;
}

void close_pair(int fds[2]) {
    close(fds[0]);
    close(fds[1]);
}

}  // namespace

void start_stderr_relay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    const int real = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (real < 0) {
        close_pair(fds);
        return;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    // A line that does not fit is dropped, never waited for. Lines are short:
    // a pipe takes each whole or not at all.
    fcntl(fds[1], F_SETFL, O_NONBLOCK);
#ifdef F_SETPIPE_SZ
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
#endif
    auto* relay = new Relay;  // lives until the process ends
    relay->from = fds[0];
    relay->to = real;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, relay_thread, relay) != 0) {
        close_pair(fds);
        close(real);
        delete relay;
        return;
    }
    pthread_detach(thread);
    dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    g_relay = relay;
    // Start-up failures return from main.
    atexit([] { flush_stderr_relay(kRelayFlushAtFailureMs); });
}

void flush_stderr_relay(int timeoutMs) {
    Relay* relay = g_relay;
    if (!relay) return;
    std::unique_lock<std::mutex> guard(relay->lock);
    if (!relay->flushing) {
        relay->flushing = true;
        // Our pipe's only write end goes: the relay reads to its end, then stops.
        dup2(relay->to, STDERR_FILENO);
    }
    relay->drained.wait_for(guard, std::chrono::milliseconds(timeoutMs), [relay] { return relay->done; });
}
