#include "platform/windows/input_desktop.h"

#include <windows.h>

namespace {

constexpr ACCESS_MASK kDesktopAccess = DESKTOP_READOBJECTS | DESKTOP_WRITEOBJECTS | DESKTOP_JOURNALPLAYBACK |
                                       DESKTOP_SWITCHDESKTOP | GENERIC_READ;

// The desktop each thread was last moved to; closed when it moves on.
thread_local HDESK t_desktop = nullptr;

}  // namespace

std::string windows_error_text(unsigned long error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = n ? std::string(text, n) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) words.pop_back();
    return words;
}

bool follow_input_desktop(std::string* why) {
    HDESK desktop = OpenInputDesktop(0, FALSE, kDesktopAccess);
    if (!desktop) {
        *why = windows_error_text(GetLastError());
        return false;
    }
    if (!SetThreadDesktop(desktop)) {
        *why = windows_error_text(GetLastError());
        CloseDesktop(desktop);
        return false;
    }
    if (t_desktop) CloseDesktop(t_desktop);
    t_desktop = desktop;
    return true;
}

bool input_desktop_reachable(std::string* why) {
    HDESK desktop = OpenInputDesktop(0, FALSE, DESKTOP_JOURNALPLAYBACK);
    if (!desktop) {
        *why = windows_error_text(GetLastError());
        return false;
    }
    CloseDesktop(desktop);
    return true;
}
