#pragma once

// Ends the process with status 1 once a failure has made it useless while
// running (the display lost, the frame store not to be had): `lines` (if
// any) go to stderr first. No exit handlers run: other threads may be in the
// middle of anything, and nothing of ours needs flushing.
[[noreturn]] void exit_on_failure(const char* lines = nullptr);
