#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfile.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// Where the VPN server listens: the one destination, besides the tunnel and DNS, that the
// kill-switch guard lets out, and only for its transport and port.
struct ServerEndpoint {
    Ipv4Address address;
    // "udp" or "tcp", as nft names them.
    std::string protocol;
    std::uint16_t port = 0;
    bool operator==(const ServerEndpoint&) const = default;
};

namespace ServerEndpoints {

// The remotes of a profile the helper rendered, with the profile's transport and openvpn's
// default port where a remote names none. A remote given by name has no address the guard
// could open: it is left out.
std::vector<ServerEndpoint> ofProfile(const OpenVpnProfile& profile);

// The file the helper hands the guard: one "endpoint=<address> <protocol> <port>" line each.
std::string fileText(const std::vector<ServerEndpoint>& endpoints);
// Only lines in that form count; anything else in the file is ignored.
std::vector<ServerEndpoint> read(std::string_view content);

}  // namespace ServerEndpoints

}  // namespace corvantis::helper
