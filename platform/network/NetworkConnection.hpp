#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/network/ConnectionDriver.hpp"
#include "platform/network/NetworkStep.hpp"

#include <filesystem>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace platform::network {

// The connection of one network service, as the applied network preferences describe it.
// Without a driver of its own it uses the machine's, and this machine has no L2TP/IPsec client:
// starting then fails with a message that says so.
class NetworkConnection {
public:
    NetworkConnection(std::string serviceID, std::filesystem::path preferencesFile,
                      std::shared_ptr<ConnectionDriver> driver = nullptr, std::shared_ptr<NetworkFaults> faults = nullptr);

    const std::string& serviceID() const { return serviceID_; }

    // Starts the service with `options`; a connection that lingers outlives its caller's interest.
    foundation::Expected<void> start(const nlohmann::json& options, bool linger);
    ConnectionStatus status() const;
    // Ends the connection; `force` also when other clients still use it.
    foundation::Expected<void> stop(bool force);

private:
    const std::string serviceID_;
    const std::filesystem::path preferencesFile_;
    const std::shared_ptr<ConnectionDriver> driver_;
    const std::shared_ptr<NetworkFaults> faults_;
};

}  // namespace platform::network
