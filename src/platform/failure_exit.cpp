#include "platform/failure_exit.h"

#include <unistd.h>

#include <cstdio>

#include "platform/stderr_relay.h"

namespace {

// Written once by main before any other thread exists.
void (*g_releaseHeldInput)() = nullptr;

}  // namespace

void exit_on_failure(const char* lines) {
    if (lines) fputs(lines, stderr);
    flush_stderr_relay(kRelayFlushAtFailureMs);
    _exit(1);
}

void capture_lost(const char* lines, bool releaseHeldInput) {
    if (lines) fputs(lines, stderr);
    if (releaseHeldInput && g_releaseHeldInput) g_releaseHeldInput();
    flush_stderr_relay(kRelayFlushAtFailureMs);
    _exit(1);
}

void set_held_input_release(void (*release)()) { g_releaseHeldInput = release; }
