#pragma once

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/network/NetworkReachability.hpp"

#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>

namespace corvantis {

// The name of the notification posted on the main queue at every reachability change; its
// object is the `Reachability` that saw the change.
inline constexpr const char* kReachabilityChangedNotification = "kReachabilityChangedNotification";

// How a target can be reached.
enum class NetworkStatus : int { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

// Watches whether a network target can be reached and tells the application of every change:
// the blocks run on the private serial queue "com.wrenhollow.reachability", and the notification
// is posted on the main queue. A started watch keeps its object alive until it is stopped.
class Reachability : public std::enable_shared_from_this<Reachability> {
public:
    using NetworkReachable = std::function<void(Reachability&)>;
    using NetworkUnreachable = std::function<void(Reachability&)>;
    using NetworkReachabilityChanged = std::function<void(Reachability&, platform::network::SCNetworkReachabilityFlags)>;

    static constexpr const char* queueLabel = "com.wrenhollow.reachability";

    // None when the platform cannot watch the target.
    static std::shared_ptr<Reachability> reachabilityWithHostname(const std::string& hostname);
    static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& hostname);
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr_in& address);
    // The IPv4 address 0.0.0.0: any way out at all.
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    // The IPv4 address 169.254.0.0: the local link.
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();

    explicit Reachability(std::shared_ptr<platform::network::NetworkReachability> reachabilityRef);
    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Starts watching (true when it runs, also when it ran already); a failure is written to
    // the console and leaves the watch stopped.
    bool startNotifier();
    void stopNotifier();

    // Reachable when the reachable bit is set, unless a connection is both required and transient.
    static bool isReachableWithFlags(platform::network::SCNetworkReachabilityFlags flags);
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const;
    bool connectionRequired() const;
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    NetworkStatus currentReachabilityStatus() const;
    // The current flags, 0 when they cannot be read.
    platform::network::SCNetworkReachabilityFlags reachabilityFlags() const;
    // "WiFi", "Cellular" or "No Connection" for the current status.
    std::string currentReachabilityString() const;
    // The current flags as ten characters, e.g. "XR -------" for reachable alone.
    std::string currentReachabilityFlags() const;
    // "<Reachability: 0x… (XR -------)>".
    std::string description() const;

    // The flags as `currentReachabilityFlags` writes them.
    static std::string flagsText(platform::network::SCNetworkReachabilityFlags flags);

    bool reachableOnWWAN = true;
    NetworkReachable reachableBlock;
    NetworkUnreachable unreachableBlock;
    NetworkReachabilityChanged reachabilityBlock;

private:
    // Runs on the serial queue for each change.
    void reachabilityChanged(platform::network::SCNetworkReachabilityFlags flags);
    std::optional<platform::network::SCNetworkReachabilityFlags> currentFlags() const;

    std::shared_ptr<platform::network::NetworkReachability> reachabilityRef_;
    std::shared_ptr<platform::dispatch::DispatchQueue> reachabilitySerialQueue_;
    // The object itself while its notifier runs, so that it lives on while it watches.
    std::shared_ptr<Reachability> reachabilityObject_;
    // Where changes are announced: the main queue of the platform services in force at start.
    std::shared_ptr<platform::dispatch::DispatchQueue> mainQueue_;
};

}  // namespace corvantis
