#pragma once

// A controller usually stops its child with SIGTERM, SIGINT or SIGHUP, or by
// closing the frame stream (SIGPIPE). Those signals are taken by one thread
// that waits for them, so that what the remote user holds down is let go of
// before the process ends; a signal handler could not do that safely while
// the control thread is posting.

// Blocks the stop signals in the calling thread and in every thread it
// starts afterwards. SIGPIPE is one of them unless the process was started
// with it ignored. Call first thing in main, before any thread exists.
void block_stop_signals();

// Body of the thread that waits for a stop signal: releases held input,
// then ends the process as that signal would have ended it.
void* signal_stop_thread(void* arg);
