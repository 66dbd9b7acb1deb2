// Benchmark aid: a screen cast of mutter's monitor, with the pointer drawn
// in, like the helper's, for a plain PipeWire consumer to read. Prints the
// PipeWire node, then keeps the session until stdin closes.
// Usage: mutter_screencast (on the desktop's session bus)

#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>

namespace {

uint32_t g_node = 0;

int on_stream_added(sd_bus_message* m, void*, sd_bus_error*) { return sd_bus_message_read(m, "u", &g_node); }

}  // namespace

int main() {
    sd_bus* bus = nullptr;
    sd_bus_message* reply = nullptr;
    const char *session = nullptr, *stream = nullptr;
    int r = sd_bus_open_user(&bus);
    if (r >= 0) r = sd_bus_call_method(bus, "org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                                       "org.gnome.Mutter.ScreenCast", "CreateSession", nullptr, &reply, "a{sv}", 0);
    if (r >= 0) r = sd_bus_message_read(reply, "o", &session);
    sd_bus_message* record = nullptr;
    if (r >= 0) r = sd_bus_call_method(bus, "org.gnome.Mutter.ScreenCast", session, "org.gnome.Mutter.ScreenCast.Session",
                                       "RecordMonitor", nullptr, &record, "sa{sv}", "", 1, "cursor-mode", "u", 1u);
    if (r >= 0) r = sd_bus_message_read(record, "o", &stream);
    if (r >= 0) r = sd_bus_match_signal(bus, nullptr, "org.gnome.Mutter.ScreenCast", stream,
                                        "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded", on_stream_added, nullptr);
    if (r >= 0) r = sd_bus_call_method(bus, "org.gnome.Mutter.ScreenCast", session, "org.gnome.Mutter.ScreenCast.Session",
                                       "Start", nullptr, nullptr, "");
    while (r >= 0 && g_node == 0) r = sd_bus_process(bus, nullptr) > 0 ? 0 : sd_bus_wait(bus, 10'000'000);
    if (r < 0 || g_node == 0) {
        fputs("mutter_screencast: no screen cast from mutter\n", stderr);
        return 1;
    }
    printf("%u\n", g_node);
    fflush(stdout);
    for (;;) {
        while (sd_bus_process(bus, nullptr) > 0) {
        }
        pollfd fds[] = {{STDIN_FILENO, POLLIN, 0}, {sd_bus_get_fd(bus), short(sd_bus_get_events(bus)), 0}};
        poll(fds, 2, 1000);
        char c;
        if ((fds[0].revents & (POLLIN | POLLHUP)) && read(STDIN_FILENO, &c, 1) <= 0) return 0;
    }
}
