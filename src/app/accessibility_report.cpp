#include "app/accessibility_report.h"

#include <cstdio>

#include "input/event_poster.h"

namespace {

void write_lines(const char* const* lines) {
    for (; *lines; ++lines) fputs(*lines, stderr);
}

constexpr const char* kGranted = "[ctrl] Accessibility permission granted.\n";

constexpr const char* kQueryNotGranted[] = {
    "[ctrl] Accessibility permission NOT granted.\n",
    "[ctrl] A system dialog has been shown asking for permission.\n",
    "[ctrl] Please grant access in System Settings > Privacy & Security > Accessibility.\n",
    "[ctrl] Then click 'Start Capture' again. No app restart needed.\n",
    nullptr,
};

constexpr const char* kStartupNotGranted[] = {
    "[ctrl] Accessibility permission NOT granted.\n",
    "[ctrl] A system dialog has been shown asking for permission.\n",
    "[ctrl] Go to: System Settings > Privacy & Security > Accessibility\n",
    "[ctrl] and enable this app. No restart needed after granting.\n",
    nullptr,
};

}  // namespace

int run_accessibility_query(EventPoster& poster) {
    if (poster.input_permitted(true)) {
        fputs(kGranted, stderr);
        return 0;
    }
    write_lines(kQueryNotGranted);
    return 1;
}

void report_accessibility_at_startup(EventPoster& poster) {
    if (poster.input_permitted(true)) {
        fputs(kGranted, stderr);
    } else {
        write_lines(kStartupNotGranted);
    }
}
