#pragma once

#include "platform/network/VPNTunnelProvider.hpp"

#include <memory>

namespace corvantis {

class CorvantisHelperController;

// Carries the VPN manager's IKEv2 tunnels through the privileged helper: the configuration's
// password reference is resolved in the user's keychain here, and the settings and the password
// go to the helper in one call. Main queue.
class HelperIKEv2Tunnel final : public platform::network::VPNTunnelProvider {
public:
    explicit HelperIKEv2Tunnel(std::shared_ptr<CorvantisHelperController> helper) : helper_(std::move(helper)) {}

    void startTunnel(const platform::network::VPNProtocolIKEv2& configuration, std::function<void(Outcome)> done) override;
    void stopTunnel() override;

private:
    std::shared_ptr<CorvantisHelperController> helper_;
};

}  // namespace corvantis
