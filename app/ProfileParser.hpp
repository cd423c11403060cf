#pragma once

#include "app/ApiServiceError.hpp"
#include "app/Server.hpp"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis {

// What a profile load tells the login.
struct UserDataRecord {
    bool success = false;
    bool isVpnActive = false;
    bool isDnsActive = false;
    bool isEmailConfirmed = false;
    std::string message;

    bool operator==(const UserDataRecord&) const = default;
};

// Reads the reply of the profile request and files what it carries: the VPN password (also in
// the keychain), the city list (through the application delegate), the plan and, on success,
// the crash reporter's user. Main queue only.
class ProfileParser {
public:
    static constexpr const char* noVpnSubscription = "You have no active VPN subscriptions";
    static constexpr const char* dnsOnlySubscription =
        "You don\u2019t have an active VPN subscription. Please follow this guide to upgrade.";

    ProfileParser(std::string deviceId, std::vector<nlohmann::json> products);

    using Servers = std::vector<std::shared_ptr<Server>>;

    // The reply as the transport delivered it. Every outcome is one result; the checks stop at
    // the first failure, whose text becomes the message unless a step has set one already.
    // `servers`, when given, are the country groups of the reply's server list, already read
    // from it (`ProfileReply`); otherwise the list is read from `reply`.
    UserDataRecord parse(bool success, const std::string& message, const nlohmann::json& reply,
                         std::optional<Servers> servers = std::nullopt) const;

private:
    std::optional<ApiServiceError> read(bool success, const std::string& message, const nlohmann::json& reply,
                                        std::optional<Servers>& servers, UserDataRecord& result) const;
    std::optional<ApiServiceError> readSubscriptions(const nlohmann::json& data, UserDataRecord& result) const;
    static std::optional<ApiServiceError> rebuildCityList(const nlohmann::json& data, std::optional<Servers>& servers);
    void reportUser() const;

    std::string deviceId_;
    std::vector<nlohmann::json> products_;
};

}  // namespace corvantis
