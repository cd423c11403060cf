#include "HelperService/CorvantisHelper/TunnelNetwork.hpp"

namespace corvantis::helper {

TunnelNetwork::TunnelNetwork(const HelperConfiguration& configuration,
                             std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log)
    : resolver_(configuration, launcher, log), ipv6_(configuration.tools.nft, launcher, log) {}

void TunnelNetwork::tunnelUp(const void* run, const TunnelPush& push) {
    if (push.link.empty()) return;
    std::lock_guard lock(mutex_);
    owner_ = run;
    resolver_.use(push);
    ipv6_.hold();
}

void TunnelNetwork::tunnelDown(const void* run) {
    std::lock_guard lock(mutex_);
    if (owner_ != run) return;
    owner_ = nullptr;
    resolver_.putBack();
    ipv6_.release();
}

void TunnelNetwork::sweep() {
    std::lock_guard lock(mutex_);
    resolver_.putBack();
    ipv6_.release();
}

}  // namespace corvantis::helper
