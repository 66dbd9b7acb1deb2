#include "app/control_thread.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "capture/frame_store.h"
#include "input/control_loop.h"

namespace {

constexpr int kFramePollMs = 50;

// Whether stdin has been hung up, without consuming any of it. Asks for
// readable data, since XNU's poll reports nothing, not even a hang-up, for a
// descriptor polled with no events; readable with nothing to read is end of
// file. Waits up to `timeoutMs` either way.
bool stdin_hung_up(int timeoutMs) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return false;
    if (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
    int pending = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &pending) == 0 && pending == 0) return true;
    // Input that is waiting for the control loop would wake poll at once.
    usleep(timeoutMs * 1000);
    return false;
}

// Waits for the first frame, watching stdin: a controller that gives up
// before any frame arrived must still end the program. Returns false on
// hang-up.
bool wait_for_first_frame() {
    while (!frame_dims_known()) {
        if (stdin_hung_up(kFramePollMs)) return frame_dims_known();
    }
    return true;
}

}  // namespace

void* control_thread(void*) {
    if (wait_for_first_frame()) {
        control_loop();
    } else {
        fputs("[ctrl] stdin closed before the first frame, control loop exiting\n", stderr);
    }
    return nullptr;
}
