#include "capture/capture_lost.h"

#include <cstdio>

#include "platform/failure_exit.h"

void capture_lost(const char* lines, bool releaseHeldInput) {
    if (!releaseHeldInput) exit_on_failure(lines);
    if (lines) fputs(lines, stderr);
    exit_on_failure_releasing_input();
}
