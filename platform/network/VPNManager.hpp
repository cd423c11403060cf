#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/foundation/Faults.hpp"
#include "platform/network/VPNProtocolIKEv2.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace platform::network {

// The error domain of the VPN manager and its codes, with the platform's values.
inline constexpr const char* NEVPNErrorDomain = "NEVPNErrorDomain";
enum class VPNError : long {
    configurationInvalid = 1,
    configurationDisabled = 2,
    connectionFailed = 3,
    configurationStale = 4,
    configurationReadWriteFailed = 5,
    configurationUnknown = 6,
};

// A tunnel's status, with the platform's raw values.
enum class VPNStatus : int { invalid = 0, disconnected = 1, connecting = 2, connected = 3, reasserting = 4, disconnecting = 5 };

// The manager operations a test can make fail.
enum class VPNStep { loadFromPreferences, saveToPreferences, startTunnel };

// The system's VPN configuration of this application: one IKEv2 tunnel, kept in the stored
// preferences and started through its connection. A model: Linux has no such service, so
// starting a saved and enabled configuration only moves the status to connecting; tests make
// any step fail through `faults`. Completions run on the main queue. Safe from any thread.
class VPNManager {
public:
    // The one manager of the process.
    static std::shared_ptr<VPNManager> sharedManager();
    // Makes a fresh shared manager with empty preferences (tests only).
    static void resetShared();

    // Reads the stored configuration into the manager (nothing stored: nothing changes).
    void loadFromPreferences(std::function<void(std::optional<foundation::DomainError>)> completion);
    // Stores the manager's configuration: the protocol and whether it is enabled.
    void saveToPreferences(std::function<void(std::optional<foundation::DomainError>)> completion);

    void setProtocolConfiguration(std::shared_ptr<const VPNProtocolIKEv2> configuration);
    std::shared_ptr<const VPNProtocolIKEv2> protocolConfiguration() const;
    void setEnabled(bool enabled);
    bool isEnabled() const;

    // Starts the stored configuration's tunnel; an error when there is none, it is disabled,
    // or the start is made to fail.
    [[nodiscard]] std::optional<foundation::DomainError> startVPNTunnel();
    void stopVPNTunnel();
    VPNStatus status() const;

    // The configuration as last saved; none before the first save.
    std::optional<VPNProtocolIKEv2> storedConfiguration() const;

    foundation::Faults<VPNStep> faults;

private:
    struct Stored {
        VPNProtocolIKEv2 configuration;
        bool enabled = false;
    };

    std::optional<foundation::DomainError> failure(VPNStep step, VPNError usual, const char* text) const;

    mutable std::mutex mutex_;
    std::shared_ptr<const VPNProtocolIKEv2> configuration_;
    bool enabled_ = false;
    std::optional<Stored> stored_;
    VPNStatus status_ = VPNStatus::invalid;
};

}  // namespace platform::network
