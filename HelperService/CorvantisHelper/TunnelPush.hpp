#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// What the up script reports of a tunnel as it comes up, before openvpn routes anything into
// it: its device ("tunnel-link tun0"), each option the server pushed ("pushed-option
// dhcp-option DNS 10.8.0.1", from openvpn's foreign_option_N), then "tunnel-report-end". Only
// what parses strictly is kept: a device name as the kernel allows it, IPv4 name servers,
// domain names of letters, digits and hyphens.
struct TunnelPush {
    std::string link;
    std::vector<Ipv4Address> nameServers;
    std::vector<std::string> domains;
    bool complete = false;

    // Takes one line of openvpn's output; false when it is no line of the up script's report.
    bool take(std::string_view line);
};

}  // namespace corvantis::helper
