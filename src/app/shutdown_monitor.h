#pragma once

// Body of the shutdown monitor thread; its argument is the control thread's
// pthread_t, passed by pointer. Waits for the control thread to end, stops
// the capture (waiting at most 2 s) and ends the process with status 0.
void* shutdown_monitor_thread(void* controlThread);
