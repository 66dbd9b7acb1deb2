// Stop requests on Windows: Ctrl+C, Ctrl+Break and a closed console (or the
// session ending) come as console control events on a thread of the
// system's; a stdout whose reader has gone comes from the frame writer. Each
// is handed to the thread that waits for them, which lets go of held input
// before the process ends.

#include "platform/stop_requests.h"

#include <windows.h>

#include <atomic>

#include "platform/windows/stop_request.h"

namespace {

// Made before any thread starts; set once by the first request.
HANDLE g_stopRequested = nullptr;
std::atomic<int> g_request{0};

BOOL WINAPI on_console_control(DWORD type) {
    switch (type) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            request_stop(kStopByConsole);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            request_stop(kStopByConsole);
            // The system ends the process once this returns: wait here for
            // the stop thread to end it first.
            Sleep(INFINITE);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void request_stop(int request) {
    int none = 0;
    if (g_request.compare_exchange_strong(none, request) && g_stopRequested) SetEvent(g_stopRequested);
}

void hold_stop_requests() {
    g_stopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_console_control, TRUE);
}

int wait_for_stop_request() {
    WaitForSingleObject(g_stopRequested, INFINITE);
    return g_request.load();
}

void end_by_stop_request(int request) {
    // As the system's own handlers end a process: with the status of what
    // ended it.
    ExitProcess(static_cast<UINT>(request));
}
