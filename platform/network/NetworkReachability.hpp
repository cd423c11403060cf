#pragma once

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/Expected.hpp"
#include "platform/network/ReachabilityFlags.hpp"

#include <functional>
#include <memory>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace platform::network {

// A watched network target: whether it can be reached, and a callback whenever that changes.
class NetworkReachability {
public:
    using Callback = std::function<void(SCNetworkReachabilityFlags)>;

    virtual ~NetworkReachability() = default;

    // A target named by host name; none for an empty name. A name that is an IPv4 address is
    // watched as that address, any other as the internet at large (the name is never resolved).
    static std::shared_ptr<NetworkReachability> createWithName(const std::string& name);
    // A target named by IPv4 address; 0.0.0.0 stands for the internet at large. None for an
    // address of another family.
    static std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr_in& address);

    // The target's flags now; none when they cannot be read.
    virtual std::optional<SCNetworkReachabilityFlags> getFlags() = 0;

    // The callback for changes; an empty one removes it.
    virtual foundation::Expected<void> setCallback(Callback callback) = 0;
    // Where the callback runs. Changes are watched from when both a callback and a queue are
    // set until either is removed (null queue).
    virtual foundation::Expected<void> setDispatchQueue(std::shared_ptr<dispatch::DispatchQueue> queue) = 0;
};

}  // namespace platform::network
