#include "platform/stop_requests.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "platform/stderr_relay.h"

namespace {

// Set before any thread starts. A process started with SIGPIPE ignored goes on
// after its reader has gone; otherwise a broken pipe is a stop signal too.
bool g_pipeStops = false;

sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    if (g_pipeStops) sigaddset(&set, SIGPIPE);
    return set;
}

}  // namespace

void hold_stop_requests() {
    struct sigaction pipeAction {};
    g_pipeStops = sigaction(SIGPIPE, nullptr, &pipeAction) == 0 && pipeAction.sa_handler != SIG_IGN;
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int wait_for_stop_request() {
    const sigset_t set = stop_signals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal;
}

void end_by_stop_request(int signal) {
    flush_stderr_relay(kRelayFlushAtFailureMs);
    // Default action, delivered to this thread, the only one where it is unblocked.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigaction(signal, &defaultAction, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached
}
