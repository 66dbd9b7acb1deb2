#include "input/control_loop.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "capture/frame_store.h"
#include "input/accessibility.h"
#include "input/control_protocol.h"
#include "input/input_handlers.h"
#include "input/pointer.h"

namespace {

constexpr int kFramePollMs = 50;

constexpr const char* kNotTrusted[] = {
    "[ctrl] WARNING: Accessibility permission not granted.\n",
    "[ctrl] Mouse/keyboard control will NOT work.\n",
    "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n",
    "[ctrl] and enable this app. No restart needed after granting.\n",
};

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

void run_control_session(const ByteSource& source) {
    if (!accessibility_trusted()) {
        for (const char* line : kNotTrusted) fputs(line, stderr);
    }
    fputs("[ctrl] control loop started, reading stdin...\n", stderr);
    const StreamEnd end = read_control_stream(source, [](const ControlMessage& message) {
        handle_control_message(message, monotonic_now_ns());
    });
    if (end == StreamEnd::EndOfInput) fputs("[ctrl] stdin EOF, control loop exiting\n", stderr);
    // Nobody is left to let go of what the remote user held down.
    release_held_input();
}

void control_loop() { run_control_session(fd_byte_source(STDIN_FILENO)); }

void* control_thread(void*) {
    if (wait_for_first_frame()) {
        control_loop();
    } else {
        fputs("[ctrl] stdin closed before the first frame, control loop exiting\n", stderr);
    }
    return nullptr;
}
