#pragma once

#include "platform/network/ConnectionDriver.hpp"

namespace corvantis::helper {

// What an L2TP/IPsec connection is made of, each layer as it was last seen.
struct L2TPLinkState {
    enum class Ipsec { connecting, up, down };
    enum class Tunnel { notRequested, requested, tunnelUp, sessionUp, failed };
    enum class Ppp { absent, upWithoutAddress, up };

    Ipsec ipsec = Ipsec::connecting;
    Tunnel tunnel = Tunnel::notRequested;
    Ppp ppp = Ppp::absent;
    // Whether the whole stack has been up once: anything less afterwards is a dropped link.
    bool wasConnected = false;
};

// The connection status the network service reports for those layers: connected only when the
// IPsec SA, the L2TP session and an addressed PPP interface are all up.
platform::network::ConnectionStatus connectionStatusFor(const L2TPLinkState& state);

}  // namespace corvantis::helper
