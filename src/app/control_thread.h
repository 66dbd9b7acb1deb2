#pragma once

// Body of the control thread: waits for the first frame, then reads control
// messages from stdin until end of input. Returns early, without reading, if
// stdin is hung up before any frame arrives.
void* control_thread(void* arg);
