#include "app/RouteControl.hpp"

namespace corvantis {

bool RouteControl::engage(const std::optional<helper::Ipv4Address>& gateway, Completion completion) {
    removalWanted_ = true;
    if (!gateway) {
        removalSent_ = false;
        if (completion) waiting_.push_back(std::move(completion));
        return false;
    }
    removalSent_ = true;
    engage_(*gateway, std::move(completion));
    return true;
}

void RouteControl::release() {
    removalWanted_ = false;
    removalSent_ = false;
    waiting_.clear();
}

void RouteControl::gatewayKnown(const helper::Ipv4Address& gateway) {
    if (!engageWaiting()) return;
    removalSent_ = true;
    auto waiting = std::move(waiting_);
    waiting_.clear();
    engage_(gateway, [waiting = std::move(waiting)](bool done) {
        for (const auto& completion : waiting) completion(done);
    });
}

}  // namespace corvantis
