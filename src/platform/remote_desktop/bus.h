#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// sd-bus objects, each released by its own unref.
struct BusClose {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using BusPtr = std::unique_ptr<sd_bus, BusClose>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

// An error a call may fill in, freed with it.
class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&error_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;

    sd_bus_error* get() { return &error_; }
    // The service's words, else those of the errno `r`.
    std::string text(int r) const;

private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// How long one method call of the set-up may take: services on the session
// bus answer at once, and a hung one must not hang the helper.
constexpr auto kBusCallTimeout = std::chrono::seconds(3);

// The session bus of DBUS_SESSION_BUS_ADDRESS (else XDG_RUNTIME_DIR/bus).
// Null, with `why` set, when there is none to reach.
BusPtr open_session_bus(std::string* why);

// Handles what arrives until `done` holds, the bus is lost or `timeout`
// passes; false with `why` in the last two cases. Only while no other thread
// uses the bus.
bool process_until(sd_bus* bus, std::chrono::milliseconds timeout, const std::function<bool()>& done,
                   std::string* why);

// A property of type "u"; false with `why` set when it cannot be read.
bool read_uint_property(sd_bus* bus, const char* service, const char* path, const char* interface,
                        const char* name, uint32_t* value, std::string* why);
