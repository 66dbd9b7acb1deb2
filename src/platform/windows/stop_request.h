#pragma once

#include <cstdint>

// Why the process is asked to stop, as the status it then ends with: the
// one Windows gives a process that Ctrl+C ended, and the one of a broken pipe.
constexpr int kStopByConsole = static_cast<int>(0xC000013Au);  // STATUS_CONTROL_C_EXIT
constexpr int kStopByBrokenPipe = static_cast<int>(0xC000014Bu);  // STATUS_PIPE_BROKEN

// Hands a stop request to wait_for_stop_request(); only the first one counts.
void request_stop(int request);
