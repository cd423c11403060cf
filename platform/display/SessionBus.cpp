#include "platform/display/SessionBus.hpp"

#include <cstdlib>

namespace platform::display {

std::unique_ptr<SessionBus> SessionBus::connect() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') return nullptr;
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return nullptr;
    // Without the client flag the bus says no Hello and we get no unique name.
    if (sd_bus_set_address(bus, address) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
        sd_bus_unref(bus);
        return nullptr;
    }
    return std::unique_ptr<SessionBus>(new SessionBus(bus));
}

SessionBus::~SessionBus() {
    watch_.reset();
    sd_bus_flush_close_unref(bus_);
}

bool SessionBus::hasOwner(const std::string& name) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int owned = 0;
    const int result = sd_bus_call_method(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                          "NameHasOwner", &error, &reply, "s", name.c_str());
    if (result >= 0) sd_bus_message_read(reply, "b", &owned);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return owned != 0;
}

void SessionBus::process() {
    if (processing_) return;
    processing_ = true;
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    sd_bus_flush(bus_);
    processing_ = false;
}

void SessionBus::watch() {
    watch_ = std::make_unique<dispatch::DescriptorWatch>(sd_bus_get_fd(bus_), [this] { process(); });
}

}  // namespace platform::display
