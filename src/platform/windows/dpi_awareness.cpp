#include "platform/windows/dpi_awareness.h"

#include <windows.h>

void become_dpi_aware() {
    // Windows 10 1703 and later; looked up by name, for older systems and
    // import libraries that lack it.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto set = user32 ? reinterpret_cast<SetContext>(
                                  reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))
                            : nullptr;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (set && set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)))) return;
    SetProcessDPIAware();  // system-aware, for Windows 7 and 8
}
