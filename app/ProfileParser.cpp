#include "app/ProfileParser.hpp"

#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/CountryGroups.hpp"
#include "app/JsonValue.hpp"
#include "app/PlanSelection.hpp"
#include "app/Server.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"

namespace corvantis {

namespace {
constexpr const char* vpnCategory = "2";
constexpr const char* dnsCategory = "1";
}  // namespace

ProfileParser::ProfileParser(std::string deviceId, std::vector<nlohmann::json> products)
    : deviceId_(std::move(deviceId)), products_(std::move(products)) {}

UserDataRecord ProfileParser::parse(bool success, const std::string& message, const nlohmann::json& reply,
                                    std::optional<Servers> servers) const {
    UserDataRecord result;
    if (const auto failure = read(success, message, reply, servers, result); failure && result.message.empty()) {
        result.message = ApiService::errorMessage("getUserData", *failure);
    }
    return result;
}

std::optional<ApiServiceError> ProfileParser::read(bool success, const std::string& message, const nlohmann::json& reply,
                                                   std::optional<Servers>& servers, UserDataRecord& result) const {
    if (!success) return ApiServiceError::errorAsIs(message);
    const auto* data = JsonValue::member(reply, "data");
    if (data == nullptr || !data->is_object()) return ApiServiceError::jsonError("data");

    const auto vpnPassword = JsonValue::stringMember(*data, "freeradius_pass");
    if (!vpnPassword) return ApiServiceError::jsonError("freeradius_pass");
    UserSettings::setVpnPassword(*vpnPassword);

    const auto emailConfirmed = JsonValue::stringMember(*data, "email_confirmed");
    if (!emailConfirmed) return ApiServiceError::jsonError("email_confirmed");
    if (JsonValue::decimalInteger(*emailConfirmed) != 1) {
        result.success = true;
        result.isVpnActive = false;
        result.isEmailConfirmed = false;
        return ApiServiceError::error(result.message);
    }
    result.isEmailConfirmed = true;

    if (auto failure = rebuildCityList(*data, servers)) return failure;
    result.success = true;
    result.isVpnActive = true;
    return readSubscriptions(*data, result);
}

std::optional<ApiServiceError> ProfileParser::rebuildCityList(const nlohmann::json& data, std::optional<Servers>& servers) {
    if (!servers) {
        const auto* list = JsonValue::member(data, "vpn_servers");
        if (list == nullptr || !list->is_array()) return ApiServiceError::error("Can't get VPN servers from response");
        servers = Server::modelsFromDictionaryArray(CountryGroups::fromServers(*list));
    }
    const auto delegate = AppDelegate::shared();
    if (delegate) delegate->initServers(std::move(*servers));
    if (!delegate || !delegate->allCities || delegate->allCities->empty()) return ApiServiceError::error("Servers save error");
    return std::nullopt;
}

std::optional<ApiServiceError> ProfileParser::readSubscriptions(const nlohmann::json& data, UserDataRecord& result) const {
    const auto* subscriptions = JsonValue::member(data, "subscriptions");
    if (subscriptions == nullptr) return ApiServiceError::jsonError("subscriptions");
    if (!subscriptions->is_object()) {
        result.success = true;
        result.isVpnActive = false;
        result.message = noVpnSubscription;
        return ApiServiceError::error(result.message);
    }
    const auto* categories = JsonValue::member(data, "categories");
    if (categories == nullptr || !categories->is_object()) return ApiServiceError::jsonError("categories");

    if (categories->contains(vpnCategory)) {
        if (auto plan = PlanSelection::select(*subscriptions, products_)) UserSettings::setPlan(std::move(plan));
        result.success = true;
        result.isVpnActive = true;
        reportUser();
        return std::nullopt;
    }
    result.success = true;
    result.isVpnActive = false;
    if (categories->contains(dnsCategory)) {
        result.isDnsActive = true;
        result.message = dnsOnlySubscription;
    } else {
        result.message = noVpnSubscription;
    }
    return ApiServiceError::error(result.message);
}

void ProfileParser::reportUser() const {
    const auto plan = UserSettings::plan();
    platform::Services::current().crashReporter()->setUser(platform::crashreporting::User{
        deviceId_, {{"subscriptionType", plan ? nlohmann::json(*plan) : nlohmann::json(nullptr)}}});
}

}  // namespace corvantis
