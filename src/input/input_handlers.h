#pragma once

#include <cstdint>

#include "input/control_protocol.h"

// The control thread's handlers: turn one decoded message into at most one
// posted event, keeping the pointer and keyboard state. `nowNs` is the
// monotonic clock when the message was read.
void handle_control_message(const ControlMessage& message, uint64_t nowNs);

// Lets go of every button and key the remote user still holds. Safe to call
// from any thread, also while the control thread is handling a message: the
// handlers and this share one lock, so events never interleave. Not from a
// signal handler (it locks and posts): call it from a thread that waits for
// the signal.
void release_held_input();

// Whether the poster main set may post input (asked without prompting).
bool input_permitted();

// Forgets all pointer and keyboard state (for tests running several sessions
// in one process).
void reset_input_state();
