#pragma once

#include "HelperService/CorvantisHelper/L2TPLinkState.hpp"
#include "platform/foundation/Expected.hpp"

#include <string>

namespace corvantis::helper {

// The IPsec half of an L2TP/IPsec connection: a transport-mode SA with the server for L2TP's UDP
// port 1701, authenticated with a pre-shared secret.
class L2TPIpsec {
public:
    struct Connection {
        // Names the connection to the IPsec daemon; one per network service.
        std::string name;
        std::string server;
        std::string sharedSecret;
    };

    virtual ~L2TPIpsec() = default;

    // Hands the connection to the IPsec daemon and starts bringing it up; returns without waiting.
    virtual platform::foundation::Expected<void> bringUp(const Connection& connection) = 0;
    // Down once an attempt has failed or the SA has gone.
    virtual L2TPLinkState::Ipsec state(const std::string& name) = 0;
    // Ends the SA and removes the connection and its secret from the daemon.
    virtual platform::foundation::Expected<void> bringDown(const std::string& name) = 0;
};

}  // namespace corvantis::helper
