#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/network/ReachabilityFlags.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::network {

class NetlinkSocket;

// Where reachability is asked about: an IPv4 address (host byte order), or none for the
// internet at large.
struct ReachabilityTarget {
    std::optional<std::uint32_t> address;
};

// How traffic to a target would leave: the reachability flags and the interface it would leave
// by (empty when there is none).
struct NetworkPath {
    SCNetworkReachabilityFlags flags = 0;
    std::string interfaceName;

    bool operator==(const NetworkPath&) const = default;
};

// The kernel's IPv4 routing state at one moment: interfaces, their addresses and the main
// table's unicast routes. Addresses are in host byte order.
class RoutingSnapshot {
public:
    struct Link {
        int index = 0;
        std::string name;
        // IFF_UP, IFF_RUNNING, IFF_POINTOPOINT, …
        unsigned flags = 0;
    };
    struct Address {
        int linkIndex = 0;
        std::uint32_t address = 0;
    };
    struct Route {
        std::uint32_t destination = 0;
        int prefixLength = 0;
        std::optional<std::uint32_t> gateway;
        int outputLink = 0;
        std::uint32_t metric = 0;
    };

    RoutingSnapshot(std::vector<Link> links, std::vector<Address> addresses, std::vector<Route> routes);

    // Reads the state through a netlink socket of the caller's network namespace.
    static foundation::Expected<RoutingSnapshot> read(NetlinkSocket& socket);

    // The way to `target`: one of this machine's addresses is reachable, local and direct; any
    // other address through the most specific route whose interface is up and running (lowest
    // metric first). The internet at large goes by the routes that cover it as a whole: the
    // default route, or the two halves 0.0.0.0/1 and 128.0.0.0/1 that a VPN lays over it.
    // Reachable through a route without gateway is direct; through a point-to-point interface
    // (a tunnel) it is a transient connection.
    NetworkPath pathTo(const ReachabilityTarget& target) const;

    const std::vector<Route>& routes() const { return routes_; }
    // The name of the interface with that index; empty when there is none.
    std::string linkName(int index) const;

private:
    const Link* link(int index) const;
    bool isUsable(const Route& route) const;

    std::vector<Link> links_;
    std::vector<Address> addresses_;
    std::vector<Route> routes_;
};

}  // namespace platform::network
