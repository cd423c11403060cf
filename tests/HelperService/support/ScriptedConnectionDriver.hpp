#pragma once

#include "platform/network/ConnectionDriver.hpp"
#include "platform/network/NetworkStep.hpp"

#include <deque>
#include <mutex>
#include <vector>

namespace corvantis::testing {

// An L2TP client for the tests: each start is recorded, and the status reads give the scripted
// states one by one, the last one for ever after.
class ScriptedConnectionDriver final : public platform::network::ConnectionDriver {
public:
    struct Start {
        std::string serviceID;
        nlohmann::json service;
        nlohmann::json options;
    };

    explicit ScriptedConnectionDriver(std::deque<platform::network::ConnectionStatus> statuses)
        : statuses_(std::move(statuses)) {}

    platform::foundation::Expected<void> start(const std::string& serviceID, const nlohmann::json& service,
                                               const nlohmann::json& options) override {
        std::lock_guard lock(mutex_);
        starts_.push_back({serviceID, service, options});
        return {};
    }
    platform::network::ConnectionStatus status(const std::string&) override {
        std::lock_guard lock(mutex_);
        ++reads_;
        const auto status = statuses_.front();
        if (statuses_.size() > 1) statuses_.pop_front();
        return status;
    }
    platform::foundation::Expected<void> stop(const std::string& serviceID) override {
        std::lock_guard lock(mutex_);
        stops_.push_back(serviceID);
        return {};
    }

    std::vector<Start> starts() const {
        std::lock_guard lock(mutex_);
        return starts_;
    }
    std::vector<std::string> stops() const {
        std::lock_guard lock(mutex_);
        return stops_;
    }
    int reads() const {
        std::lock_guard lock(mutex_);
        return reads_;
    }

private:
    mutable std::mutex mutex_;
    std::deque<platform::network::ConnectionStatus> statuses_;
    std::vector<Start> starts_;
    std::vector<std::string> stops_;
    int reads_ = 0;
};

}  // namespace corvantis::testing
