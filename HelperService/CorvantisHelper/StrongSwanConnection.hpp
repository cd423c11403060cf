#pragma once

#include "HelperService/CorvantisHelperInterface/IKEv2TunnelSettings.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/network/ViciMessage.hpp"

#include <string>

namespace corvantis::helper {

// The strongSwan connection (as charon's load-conn takes it over VICI) that carries out an
// IKEv2 tunnel's settings: the server proves itself with a certificate for the remote
// identifier, the account logs in with EAP-MSCHAPv2, the server hands out the address, and
// all IPv4 traffic may go through the tunnel (the server narrows it). Pure: no I/O.
class StrongSwanConnection {
public:
    // The connection's and its child's name in charon.
    static constexpr const char* name = "corvantis-ikev2";

    // `userSpaceEsp`: charon carries ESP itself (kernel-libipsec), which needs ESP in UDP.
    // Settings with an authentication that is not offered are refused with the reason.
    static platform::foundation::Expected<platform::network::ViciMessage> make(const IKEv2TunnelSettings& settings,
                                                                               bool userSpaceEsp);

    // How often the peer is checked, in seconds; 0 for never.
    static int deadPeerDetectionSeconds(platform::network::IKEv2DeadPeerDetectionRate rate);
};

}  // namespace corvantis::helper
