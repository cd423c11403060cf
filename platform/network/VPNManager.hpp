#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/foundation/Faults.hpp"
#include "platform/network/VPNProtocolIKEv2.hpp"
#include "platform/network/VPNTunnelProvider.hpp"

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
// preferences and started through its connection. Linux has no such service: with a tunnel
// provider (the helper's strongSwan) a start brings the tunnel up and the status follows it
// (connecting, then connected or disconnected); without one, or where the provider has nothing
// to run it with, starting only moves the status to connecting. Tests make any step fail
// through `faults`. Completions run on the main queue. Safe from any thread.
class VPNManager : public std::enable_shared_from_this<VPNManager> {
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
    std::optional<foundation::DomainError> startVPNTunnel();
    void stopVPNTunnel();
    VPNStatus status() const;

    // What carries the tunnels from now on; null: nothing (the model alone).
    void setTunnelProvider(std::shared_ptr<VPNTunnelProvider> provider);

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
    std::shared_ptr<VPNTunnelProvider> provider_;
    // Counts starts and stops, so that the outcome of a start that was stopped since is ignored.
    unsigned attempt_ = 0;
    bool providerStarted_ = false;
};

}  // namespace platform::network
