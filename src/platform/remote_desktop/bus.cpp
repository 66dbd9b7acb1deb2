#include "platform/remote_desktop/bus.h"

#include <cstring>

std::string BusError::text(int r) const {
    if (sd_bus_error_is_set(&error_)) return error_.message ? error_.message : error_.name;
    return strerror(r < 0 ? -r : r);
}

BusPtr open_session_bus(std::string* why) {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    if (r < 0) {
        *why = std::string("cannot connect to the session bus: ") + strerror(-r);
        return nullptr;
    }
    BusPtr owned(bus);
    sd_bus_set_method_call_timeout(bus, std::chrono::microseconds(kBusCallTimeout).count());
    return owned;
}

bool process_until(sd_bus* bus, std::chrono::milliseconds timeout, const std::function<bool()>& done,
                   std::string* why) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int r;
        while ((r = sd_bus_process(bus, nullptr)) > 0) {
            if (done()) return true;
        }
        if (r < 0) {
            *why = std::string("lost the session bus: ") + strerror(-r);
            return false;
        }
        if (done()) return true;
        const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *why = "timed out";
            return false;
        }
        r = sd_bus_wait(bus, static_cast<uint64_t>(left.count()));
        if (r < 0 && r != -EINTR) {
            *why = std::string("lost the session bus: ") + strerror(-r);
            return false;
        }
    }
}

bool read_uint_property(sd_bus* bus, const char* service, const char* path, const char* interface,
                        const char* name, uint32_t* value, std::string* why) {
    BusError error;
    sd_bus_message* reply = nullptr;
    int r = sd_bus_get_property(bus, service, path, interface, name, error.get(), &reply, "u");
    MessagePtr owned(reply);
    // The reply is handed over already inside its variant.
    if (r >= 0) r = sd_bus_message_read(reply, "u", value);
    if (r < 0) *why = error.text(r);
    return r >= 0;
}
