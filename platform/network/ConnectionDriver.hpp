#pragma once

#include "platform/foundation/Expected.hpp"

#include <nlohmann/json_fwd.hpp>
#include <string>

namespace platform::network {

// The state of a network service's connection, with the platform's values.
enum class ConnectionStatus : int { invalid = -1, disconnected = 0, connecting = 1, connected = 2, disconnecting = 3 };

// What brings a configured dial-up service (L2TP over IPsec) up and down on this machine.
class ConnectionDriver {
public:
    virtual ~ConnectionDriver() = default;

    // `service` is the service's applied record; `options` the caller's start options.
    virtual foundation::Expected<void> start(const std::string& serviceID, const nlohmann::json& service,
                                             const nlohmann::json& options) = 0;
    virtual ConnectionStatus status(const std::string& serviceID) = 0;
    virtual foundation::Expected<void> stop(const std::string& serviceID) = 0;
};

}  // namespace platform::network
