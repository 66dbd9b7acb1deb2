#pragma once

// What follows when a running capture is gone (the display, the compositor
// or the screen cast lost, the frame store not to be had, the system's own
// stop of a stream): the one place that decides it, for every backend. The
// writer would otherwise go on sending the last picture as if the screen were
// live. `lines` (if any) go to stderr, then the process ends with status 1;
// with `releaseHeldInput`, after letting go of what the remote user holds,
// for a session that still takes input (macOS).
[[noreturn]] void capture_lost(const char* lines, bool releaseHeldInput = false);
