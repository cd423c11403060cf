#pragma once

#include "platform/foundation/Faults.hpp"

namespace platform::network {

// The network-configuration operations a test can make fail.
enum class NetworkStep {
    createPreferences,
    copyAllServices,
    setInterfaceConfiguration,
    setExtendedConfiguration,
    establishDefaultConfiguration,
    copyCurrentSet,
    addServiceToSet,
    copyProtocol,
    setProtocolConfiguration,
    commitChanges,
    applyChanges,
    removeService,
    startConnection,
    stopConnection,
};

using NetworkFaults = foundation::Faults<NetworkStep>;

// Status codes of network-configuration failures, with the platform's values.
inline constexpr int kSCStatusFailed = 1001;
inline constexpr int kSCStatusInvalidArgument = 1002;
inline constexpr int kSCStatusNoKey = 1004;
inline constexpr int kSCStatusKeyExists = 1005;
inline constexpr int kSCStatusNoPrefsSession = 3001;
inline constexpr int kSCStatusConnectionNoService = 5001;

}  // namespace platform::network
