#pragma once

// Body of the thread that waits for a stop request (a signal, or a console
// event on Windows): releases held input, then ends the process as that
// request would have ended it.
void* signal_stop_thread(void* arg);
