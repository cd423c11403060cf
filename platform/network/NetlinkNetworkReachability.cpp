#include "platform/network/NetlinkNetworkReachability.hpp"

#include "platform/network/NetlinkSocket.hpp"

#include <arpa/inet.h>

namespace platform::network {

using foundation::Expected;

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(const std::string& name) {
    if (name.empty()) return nullptr;
    in_addr literal{};
    if (::inet_pton(AF_INET, name.c_str(), &literal) == 1 && literal.s_addr != INADDR_ANY) {
        return std::make_shared<NetlinkNetworkReachability>(ReachabilityTarget{ntohl(literal.s_addr)});
    }
    return std::make_shared<NetlinkNetworkReachability>(ReachabilityTarget{});
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr_in& address) {
    if (address.sin_family != AF_INET) return nullptr;
    if (address.sin_addr.s_addr == INADDR_ANY) return std::make_shared<NetlinkNetworkReachability>(ReachabilityTarget{});
    return std::make_shared<NetlinkNetworkReachability>(ReachabilityTarget{ntohl(address.sin_addr.s_addr)});
}

NetlinkNetworkReachability::NetlinkNetworkReachability(ReachabilityTarget target) : target_(target) {}

NetlinkNetworkReachability::~NetlinkNetworkReachability() {
    // The monitor's thread calls back into this object: it ends before the object does.
    std::unique_ptr<RouteMonitor> monitor;
    {
        std::lock_guard lock(mutex_);
        monitor = std::move(monitor_);
    }
}

Expected<NetworkPath> NetlinkNetworkReachability::currentPath() const {
    auto socket = NetlinkSocket::open();
    if (!socket) return socket.error();
    auto snapshot = RoutingSnapshot::read(socket.value());
    if (!snapshot) return snapshot.error();
    return snapshot.value().pathTo(target_);
}

std::optional<SCNetworkReachabilityFlags> NetlinkNetworkReachability::getFlags() {
    const auto path = currentPath();
    if (!path) return std::nullopt;
    return path.value().flags;
}

Expected<void> NetlinkNetworkReachability::setCallback(Callback callback) {
    std::unique_lock lock(mutex_);
    callback_ = std::move(callback);
    return watchAsConfigured(std::move(lock));
}

Expected<void> NetlinkNetworkReachability::setDispatchQueue(std::shared_ptr<dispatch::DispatchQueue> queue) {
    std::unique_lock lock(mutex_);
    queue_ = std::move(queue);
    return watchAsConfigured(std::move(lock));
}

Expected<void> NetlinkNetworkReachability::watchAsConfigured(std::unique_lock<std::mutex> lock) {
    const bool wanted = callback_ && queue_;
    if (!wanted) {
        auto stopping = std::move(monitor_);
        // The monitor's last look may be waiting for the lock: it must get it to end.
        lock.unlock();
        return {};
    }
    if (monitor_) return {};
    // Changes are told against the state when watching began.
    auto baseline = currentPath();
    if (!baseline) return baseline.error();
    lastPath_ = baseline.value();
    auto monitor = RouteMonitor::start([this] { lookAgain(); });
    if (!monitor) return monitor.error();
    monitor_ = std::move(monitor.value());
    return {};
}

void NetlinkNetworkReachability::lookAgain() {
    const auto path = currentPath();
    if (!path) return;
    std::lock_guard lock(mutex_);
    if (!callback_ || !queue_ || path.value() == lastPath_) return;
    lastPath_ = path.value();
    queue_->async([callback = callback_, flags = path.value().flags] { callback(flags); });
}

}  // namespace platform::network
