#pragma once

#include "input/control_protocol.h"

// Reads and dispatches control messages from stdin until end of input.
void control_loop();

// control_loop on any byte source: the permission warning, the start line,
// the messages, the end line; then lets go of whatever is still held.
void run_control_session(const ByteSource& source);
