#pragma once

#include "platform/network/VPNProtocolIKEv2.hpp"

#include <functional>

namespace platform::network {

// What actually carries the VPN manager's IKEv2 tunnel on this machine (the privileged helper's
// strongSwan). Without one the manager stays the model it was: a start only says connecting.
class VPNTunnelProvider {
public:
    enum class Outcome {
        connected,
        // Nothing here can carry an IKEv2 tunnel: the manager keeps its model behaviour.
        unavailable,
        failed,
    };

    virtual ~VPNTunnelProvider() = default;
    // Brings the configuration's tunnel up; `done` once, on the main queue.
    virtual void startTunnel(const VPNProtocolIKEv2& configuration, std::function<void(Outcome)> done) = 0;
    virtual void stopTunnel() = 0;
};

}  // namespace platform::network
