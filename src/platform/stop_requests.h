#pragma once

// How a controller stops its child besides closing stdin: a signal (SIGTERM,
// SIGINT, SIGHUP, or SIGPIPE when the frame stream's reader has gone), or on
// Windows a console control event. One thread waits for these, so that what
// the remote user holds down is let go of before the process ends; a signal
// handler could not do that safely while the control thread is posting.

// Holds back stop requests from every thread but the one that waits for
// them. A broken pipe is one unless the process was started with SIGPIPE
// ignored. Call first thing in main, before any thread exists.
void hold_stop_requests();

// Blocks until a stop request comes; returns which (a signal number on POSIX).
int wait_for_stop_request();

// Ends the process as that request would have ended it without us, so that
// the parent sees the same death.
[[noreturn]] void end_by_stop_request(int request);
