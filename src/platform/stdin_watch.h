#pragma once

// Whether stdin has been hung up, without consuming any of it. Waits up to
// `timeoutMs` for something to happen on it; false when nothing did, or when
// what came is input for the control loop.
bool stdin_hung_up(int timeoutMs);
