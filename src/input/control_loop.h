#pragma once

// Body of the control thread: waits for the first frame, then reads control
// messages from stdin until end of input.
void* control_thread(void* arg);

// Reads and dispatches control messages from stdin until end of input.
void control_loop();
