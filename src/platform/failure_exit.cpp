#include "platform/failure_exit.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Written once by main before any other thread exists.
void (*g_releaseHeldInput)() = nullptr;

}  // namespace

void exit_on_failure(const char* lines) {
    if (lines) fputs(lines, stderr);
    _exit(1);
}

void capture_lost(const char* lines, bool releaseHeldInput) {
    if (lines) fputs(lines, stderr);
    if (releaseHeldInput && g_releaseHeldInput) g_releaseHeldInput();
    _exit(1);
}

void set_held_input_release(void (*release)()) { g_releaseHeldInput = release; }
