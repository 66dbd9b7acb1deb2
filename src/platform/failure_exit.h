#pragma once

// Ends the process with status 1 once a failure has made it useless while
// running (the display lost, the frame store not to be had): `lines` (if
// any) go to stderr first. No exit handlers run: other threads may be in the
// middle of anything, and nothing of ours needs flushing.
[[noreturn]] void exit_on_failure(const char* lines = nullptr);

// The same, after letting go of what the remote user holds down: for a
// capture lost while the session still takes input (macOS stops a stream
// whose Screen Recording permission is revoked, and the keys would stay down).
[[noreturn]] void exit_on_failure_releasing_input();

// Set once by main, before any thread starts: how held input is let go.
void set_held_input_release(void (*release)());
