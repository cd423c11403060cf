#pragma once

#include "platform/network/NetworkReachability.hpp"
#include "platform/network/RouteMonitor.hpp"
#include "platform/network/RoutingSnapshot.hpp"

#include <mutex>

namespace platform::network {

// Reachability from the kernel's routing state, read over route netlink. While watched, every
// burst of routing changes is looked at, and the callback runs on its queue only when the
// target's flags or the interface its traffic would leave by have changed.
class NetlinkNetworkReachability final : public NetworkReachability {
public:
    explicit NetlinkNetworkReachability(ReachabilityTarget target);
    ~NetlinkNetworkReachability() override;

    std::optional<SCNetworkReachabilityFlags> getFlags() override;
    foundation::Expected<void> setCallback(Callback callback) override;
    foundation::Expected<void> setDispatchQueue(std::shared_ptr<dispatch::DispatchQueue> queue) override;

private:
    foundation::Expected<NetworkPath> currentPath() const;
    // Starts or stops watching to match the callback and queue that are set.
    foundation::Expected<void> watchAsConfigured(std::unique_lock<std::mutex> lock);
    void lookAgain();

    const ReachabilityTarget target_;
    std::mutex mutex_;
    Callback callback_;
    std::shared_ptr<dispatch::DispatchQueue> queue_;
    NetworkPath lastPath_;
    std::unique_ptr<RouteMonitor> monitor_;
};

}  // namespace platform::network
