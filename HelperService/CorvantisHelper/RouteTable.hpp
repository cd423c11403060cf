#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "platform/foundation/Expected.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::helper {

// An IPv4 route of the main table through a gateway.
struct Ipv4Route {
    Ipv4Address destination;
    unsigned prefixLength = 32;
    Ipv4Address gateway;

    // As `ip route` writes it: "default via G", "D via G" for a host, "D/N via G" otherwise.
    std::string text() const;
};

// A default route of the main table as the kernel lists it.
struct DefaultRoute {
    std::uint32_t metric = 0;
    std::optional<Ipv4Address> gateway;
    std::string device;
    // The device is a tun or tap device.
    bool throughTunnel = false;
    // False when the kernel marks its next hop dead.
    bool up = true;
};

// The machine's IPv4 routes. A failed change says what went wrong in the words `ip` uses, so
// the application sees the same text as when `ip` did the work.
class RouteTable {
public:
    virtual ~RouteTable() = default;

    virtual platform::foundation::Expected<void> add(const Ipv4Route& route) = 0;
    virtual platform::foundation::Expected<void> remove(const Ipv4Route& route) = 0;
    // In the kernel's order.
    virtual platform::foundation::Expected<std::vector<DefaultRoute>> defaultRoutes() = 0;
};

}  // namespace corvantis::helper
