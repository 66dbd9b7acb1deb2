#include "input/control_loop.h"

#include <unistd.h>

#include "capture/frame_store.h"

// Placeholder until the control protocol lands: drains stdin to its end.
void control_loop() {
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

void* control_thread(void*) {
    while (!frame_dims_known()) usleep(50'000);
    control_loop();
    return nullptr;
}
