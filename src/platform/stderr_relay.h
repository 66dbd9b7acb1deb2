#pragma once

// The log goes to stderr through a relay of the process's own: every line is
// written at once into a large buffer, and a thread passes the lines on to
// the real stderr. A controller that never reads stderr then cannot stall
// the control loop or keep the process from ending; what does not fit in the
// buffer is lost, and so are lines still held when the process has to end.

// How long an end by failure or signal gives the relay to pass lines on.
constexpr int kRelayFlushAtFailureMs = 500;

// Puts the relay between the process and its stderr. Without it (it could
// not be set up) lines go straight to stderr, as blocking writes.
void start_stderr_relay();

// Gives the relay up to `timeoutMs` to pass on what it holds, then puts the
// real stderr back in its place. Call right before the process ends; safe
// from several threads at once.
void flush_stderr_relay(int timeoutMs);
