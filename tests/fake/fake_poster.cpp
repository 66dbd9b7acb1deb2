// Records every posted event as one text line in FAKE_EVENT_LOG, so that a
// process test sees exactly what the program asked the platform to do.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "capture/write_all.h"
#include "fake_config.h"
#include "input/event_poster.h"

namespace {

// Held modifiers, shown only when there are any.
std::string flags_suffix(uint64_t flags) {
    char text[32] = "";
    if (flags) snprintf(text, sizeof text, " flags=0x%llX", static_cast<unsigned long long>(flags));
    return text;
}

int event_log_fd() {
    static const int fd = [] {
        const std::string path = fake_env_string("FAKE_EVENT_LOG");
        return path.empty() ? -1 : open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    }();
    return fd;
}

std::string describe(const MouseEvent& e) {
    char line[160];
    snprintf(line, sizeof line, "mouse type=%u x=%.0f y=%.0f button=%u", static_cast<unsigned>(e.type),
             e.x, e.y, static_cast<unsigned>(e.button));
    std::string text = line;
    if (e.clickState) text += " click=" + std::to_string(*e.clickState);
    return text + flags_suffix(e.flags);
}

std::string describe(const ScrollEvent& e) {
    char line[96];
    snprintf(line, sizeof line, "scroll units=%u wheels=%u delta=%d", e.units, e.wheelCount, e.delta);
    return line + flags_suffix(e.flags);
}

std::string describe(const KeyEvent& e) {
    char line[64];
    snprintf(line, sizeof line, "key code=0x%02X down=%d", e.keyCode, e.keyDown ? 1 : 0);
    return line + flags_suffix(e.flags);
}

std::string describe(const TextEvent& e) {
    char line[128];
    int n = snprintf(line, sizeof line, "text code=%u down=%d units=", e.keyCode, e.keyDown ? 1 : 0);
    for (uint32_t i = 0; i < e.unitCount && i < 2; ++i) {
        n += snprintf(line + n, sizeof line - n, "%s%04X", i ? "," : "", e.units[i]);
    }
    snprintf(line + n, sizeof line - n, " flags=%llu", static_cast<unsigned long long>(e.flags));
    return line;
}

}  // namespace

void post_event(const InputEvent& event) {
    const int fd = event_log_fd();
    if (fd < 0) return;
    std::string line = std::visit([](const auto& e) { return describe(e); }, event) + "\n";
    write_all(fd, line.data(), line.size());
}

// Every event is written out before post_event returns.
void settle_posted_events() {}
