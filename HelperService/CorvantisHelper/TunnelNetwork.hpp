#pragma once

#include "HelperService/CorvantisHelper/TunnelIpv6Hold.hpp"
#include "HelperService/CorvantisHelper/TunnelPush.hpp"
#include "HelperService/CorvantisHelper/TunnelResolver.hpp"

#include <mutex>

namespace corvantis::helper {

// What the system's network holds for the life of one tunnel: the pushed name servers as its
// resolvers and IPv6 kept in. The run that brought its tunnel up is the one whose end takes it
// back; the helper's start takes back what a killed helper left.
class TunnelNetwork {
public:
    TunnelNetwork(const HelperConfiguration& configuration, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                  std::shared_ptr<HelperLog> log);

    // `run` identifies the caller; a push without a device changes nothing.
    void tunnelUp(const void* run, const TunnelPush& push);
    void tunnelDown(const void* run);
    void sweep();

    const TunnelResolver& resolver() const { return resolver_; }

private:
    TunnelResolver resolver_;
    TunnelIpv6Hold ipv6_;
    std::mutex mutex_;
    const void* owner_ = nullptr;
};

}  // namespace corvantis::helper
