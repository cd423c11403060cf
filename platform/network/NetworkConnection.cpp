#include "platform/network/NetworkConnection.hpp"

#include "platform/network/NetworkPreferences.hpp"

#include <nlohmann/json.hpp>

namespace platform::network {

using foundation::Error;
using foundation::Expected;

namespace {

// Linux has no system L2TP/IPsec client behind network services: nothing can bring one up.
class NoDialUpClient final : public ConnectionDriver {
public:
    Expected<void> start(const std::string&, const nlohmann::json&, const nlohmann::json&) override {
        return Error{kSCStatusFailed, "This system has no L2TP/IPsec client to start the service with"};
    }
    ConnectionStatus status(const std::string&) override { return ConnectionStatus::disconnected; }
    Expected<void> stop(const std::string& serviceID) override {
        return Error{kSCStatusConnectionNoService, "No connection of service " + serviceID + " is running"};
    }
};

}  // namespace

NetworkConnection::NetworkConnection(std::string serviceID, std::filesystem::path preferencesFile,
                                     std::shared_ptr<ConnectionDriver> driver, std::shared_ptr<NetworkFaults> faults)
    : serviceID_(std::move(serviceID)),
      preferencesFile_(std::move(preferencesFile)),
      driver_(driver ? std::move(driver) : std::make_shared<NoDialUpClient>()),
      faults_(std::move(faults)) {}

Expected<void> NetworkConnection::start(const nlohmann::json& options, bool) {
    if (faults_ && faults_->fails(NetworkStep::startConnection)) {
        return Error{kSCStatusFailed, "The connection could not be started"};
    }
    if (serviceID_.empty()) return Error{kSCStatusConnectionNoService, "No network service was named"};
    auto service = NetworkPreferences::appliedService(preferencesFile_, serviceID_);
    if (!service) return service.error();
    return driver_->start(serviceID_, service.value(), options);
}

ConnectionStatus NetworkConnection::status() const {
    if (serviceID_.empty()) return ConnectionStatus::invalid;
    return driver_->status(serviceID_);
}

Expected<void> NetworkConnection::stop(bool) {
    if (faults_ && faults_->fails(NetworkStep::stopConnection)) {
        return Error{kSCStatusFailed, "The connection could not be stopped"};
    }
    if (serviceID_.empty()) return Error{kSCStatusConnectionNoService, "No network service was named"};
    return driver_->stop(serviceID_);
}

}  // namespace platform::network
