#include "input/control_loop.h"

#include <unistd.h>

#include <cstdio>

#include "input/control_protocol.h"
#include "input/input_handlers.h"
#include "platform/clock.h"

namespace {

constexpr const char* kNotTrusted[] = {
    "[ctrl] WARNING: Accessibility permission not granted.\n",
    "[ctrl] Mouse/keyboard control will NOT work.\n",
    "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n",
    "[ctrl] and enable this app. No restart needed after granting.\n",
};

}  // namespace

void run_control_session(const ByteSource& source) {
    if (!input_permitted()) {
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
