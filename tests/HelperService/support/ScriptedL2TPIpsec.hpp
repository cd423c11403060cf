#pragma once

#include "HelperService/CorvantisHelper/L2TPIpsec.hpp"

#include <mutex>
#include <vector>

namespace corvantis::testing {

// An IPsec daemon for tests of the L2TP half: records what it is handed and reports the state
// the test sets.
class ScriptedL2TPIpsec final : public helper::L2TPIpsec {
public:
    platform::foundation::Expected<void> bringUp(const Connection& connection) override {
        std::lock_guard lock(mutex_);
        broughtUp_.push_back(connection);
        return {};
    }
    helper::L2TPLinkState::Ipsec state(const std::string&) override {
        std::lock_guard lock(mutex_);
        return state_;
    }
    platform::foundation::Expected<void> bringDown(const std::string& name) override {
        std::lock_guard lock(mutex_);
        broughtDown_.push_back(name);
        state_ = helper::L2TPLinkState::Ipsec::down;
        return {};
    }

    void set(helper::L2TPLinkState::Ipsec state) {
        std::lock_guard lock(mutex_);
        state_ = state;
    }
    std::vector<Connection> broughtUp() const {
        std::lock_guard lock(mutex_);
        return broughtUp_;
    }
    std::vector<std::string> broughtDown() const {
        std::lock_guard lock(mutex_);
        return broughtDown_;
    }

private:
    mutable std::mutex mutex_;
    helper::L2TPLinkState::Ipsec state_ = helper::L2TPLinkState::Ipsec::connecting;
    std::vector<Connection> broughtUp_;
    std::vector<std::string> broughtDown_;
};

}  // namespace corvantis::testing
