#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/VPNKeychain.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/network/ConnectionDriver.hpp"
#include "platform/network/NetworkConnection.hpp"
#include "platform/network/NetworkPreferences.hpp"
#include "platform/security/Authorization.hpp"

#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace corvantis::helper {

// The L2TP-over-IPsec network service "Corvantis L2TP": found or made in the network
// preferences with its secrets in the system keychain, started, watched until it is connected
// or not, and stopped and removed again on disconnect. Each failing step answers its code as
// it happens; the request always ends with the code 0.
class L2TPService : public std::enable_shared_from_this<L2TPService> {
public:
    static constexpr const char* serviceName = "Corvantis L2TP";
    static constexpr const char* preferencesName = "com.corvantis.Corvantis";
    // The pause before the service is started, and between two reads of its status.
    static constexpr platform::dispatch::Duration startDelay = std::chrono::seconds(3);
    static constexpr platform::dispatch::Duration statusPollPause = std::chrono::milliseconds(250);
    // A service still connecting after this long counts as not connected.
    static constexpr platform::dispatch::Duration statusPollLimit = std::chrono::minutes(2);

    struct Platform {
        std::filesystem::path preferencesFile;
        // Empty: this machine's own, which has no L2TP client.
        std::shared_ptr<platform::network::ConnectionDriver> driver;
        std::shared_ptr<platform::network::NetworkFaults> faults;
    };

    L2TPService(Platform platform, std::shared_ptr<VPNKeychain> keychain, std::shared_ptr<HelperLog> log);

    void connectToL2TPServerWithAddress(const std::optional<std::string>& address, const std::optional<std::string>& username,
                                        const std::optional<std::string>& password,
                                        const std::optional<std::string>& sharedSecret, CodeReply reply);
    // Starts the last request's service again with its credentials.
    bool connect();
    // Stops the last request's service and removes it from the network preferences.
    void disconnect();
    // As `disconnect`, but only when a request has made a service: the helper's own stop ends
    // the tunnel it started without logging the steps of one it never made.
    void endConnection();
    // Makes the service's IPv4 protocol take the primary route and nothing else, in the
    // preferences the last request opened; the service configures its IPv4 in full when it is
    // made, so nothing uses this.
    bool setIPv4(const std::string& serviceID);

private:
    struct Request;
    // Asks once for the right to change the network preferences; root has it already, so the
    // answer is not looked at.
    void preferencesAuthorization();
    int servicesInitialization(const std::string& name);
    void configureExistingService(Request& request);
    void createService(Request& request, const std::string& sharedSecret);
    void startConnection(const std::shared_ptr<Request>& request);
    void pollStatus(const std::shared_ptr<Request>& request, platform::dispatch::TimePoint deadline);
    nlohmann::json L2TPPPPConfig() const;
    nlohmann::json L2TPIPSecConfig() const;
    nlohmann::json L2TPIPv4Config() const;
    nlohmann::json startOptions() const;
    std::unique_ptr<platform::network::NetworkConnection> connectionFor(const std::string& serviceID) const;

    const Platform platform_;
    const std::shared_ptr<VPNKeychain> keychain_;
    const std::shared_ptr<HelperLog> log_;

    // The last request's state, shared with `connect` and `disconnect`.
    mutable std::mutex mutex_;
    std::shared_ptr<platform::security::Authorization> auth_;
    std::shared_ptr<platform::network::NetworkPreferences> prefs_;
    std::string serviceID_;
    bool serviceFound_ = false;
    std::string address_;
    std::string username_;
    std::string password_;
};

}  // namespace corvantis::helper
