#pragma once

#include "platform/dispatch/DescriptorWatch.hpp"

#include <systemd/sd-bus.h>

#include <memory>
#include <string>

namespace platform::display {

// A connection to the D-Bus session bus whose messages are handled on the main queue.
class SessionBus {
public:
    // Connects to $DBUS_SESSION_BUS_ADDRESS; none when it is unset or nothing answers.
    static std::unique_ptr<SessionBus> connect();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    sd_bus* bus() const { return bus_; }
    // Whether `name` has an owner on the bus now.
    bool hasOwner(const std::string& name);
    // Handles what has arrived and sends what is queued; safe to call at any time on the main
    // thread except from inside a message handler.
    void process();
    // Starts handling the bus's messages on the main queue as they arrive.
    void watch();

private:
    explicit SessionBus(sd_bus* bus) : bus_(bus) {}

    sd_bus* bus_;
    std::unique_ptr<dispatch::DescriptorWatch> watch_;
    bool processing_ = false;
};

}  // namespace platform::display
