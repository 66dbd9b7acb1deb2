#pragma once

// Ends the process with status 1 once a failure has made it useless: `lines`
// (if any) go to stderr first. No exit handlers run: other threads may be in
// the middle of anything, and nothing of ours needs flushing.
[[noreturn]] void exit_on_failure(const char* lines = nullptr);

// What follows when a running capture is gone (the display, the compositor,
// the screen cast or the desktop's session lost, the frame store not to be
// had, the system's own stop of a stream): the one place that decides it,
// for every backend. The writer would otherwise go on sending the last
// picture as if the screen were live. The process ends with status 1 after
// `lines`; with `releaseHeldInput`, after letting go of what the remote user
// holds, for a session that still takes input (macOS stops a stream whose
// Screen Recording permission is revoked, and the keys would stay down).
[[noreturn]] void capture_lost(const char* lines, bool releaseHeldInput = false);

// Set once by main, before any thread starts: how held input is let go.
void set_held_input_release(void (*release)());
