#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <functional>
#include <optional>
#include <vector>

namespace corvantis {

// What the kill switch and the Shield ask of the default route, and whether that has been done.
// An engage asked for while no gateway is known cannot be sent: it is remembered and sent once the
// gateway becomes known, unless a release was asked for since. Main queue only.
class RouteControl {
public:
    using Completion = std::function<void(bool)>;
    // Sends the engage through `gateway`; `completion` runs once the helper has answered.
    using Engage = std::function<void(const helper::Ipv4Address& gateway, Completion completion)>;

    explicit RouteControl(Engage engage) : engage_(std::move(engage)) {}

    // The default route should go. Sent now when `gateway` is known (every engage sends the whole
    // chain again); else kept waiting with `completion`. True when sent now.
    bool engage(const std::optional<helper::Ipv4Address>& gateway, Completion completion);
    // The default route should stay: a waiting engage is dropped and its completion never runs.
    void release();
    // The gateway is known now: a waiting engage is sent through it.
    void gatewayKnown(const helper::Ipv4Address& gateway);
    // An engage is asked for and not sent yet.
    bool engageWaiting() const { return removalWanted_ && !removalSent_; }

private:
    Engage engage_;
    bool removalWanted_ = false;
    bool removalSent_ = false;
    std::vector<Completion> waiting_;
};

}  // namespace corvantis
