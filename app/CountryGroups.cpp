#include "app/CountryGroups.hpp"

#include "app/JsonValue.hpp"

#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <utility>

namespace corvantis {

namespace {
// City dictionary key ← server object key.
constexpr std::array<std::pair<const char*, const char*>, 6> cityKeys{{
    {"name", "city"},
    {"address", "address"},
    {"domain", "name"},
    {"serverload", "serverload"},
    {"openvpn_tcp", "openvpn_port_tcp"},
    {"openvpn_udp", "openvpn_port_udp"},
}};

// Only a status that reads as the integer 0 takes a server out; a missing or unreadable one keeps it.
bool isSwitchedOff(const nlohmann::json& server) {
    const auto* status = JsonValue::member(server, "serverstatus");
    if (status == nullptr) return false;
    const auto text = JsonValue::textValue(*status);
    return text && JsonValue::decimalInteger(*text) == 0;
}

bool hasText(const nlohmann::json& server, const char* key) {
    const auto* value = JsonValue::member(server, key);
    return value != nullptr && value->is_string();
}
}  // namespace

std::optional<nlohmann::json> CountryGroups::cityOf(const nlohmann::json& server) {
    if (!server.is_object() || isSwitchedOff(server)) return std::nullopt;
    if (!hasText(server, "country") || !hasText(server, "city") || !hasText(server, "name")) return std::nullopt;
    nlohmann::json city = nlohmann::json::object();
    for (const auto& [target, source] : cityKeys) {
        if (const auto* value = JsonValue::member(server, source)) city[target] = *value;
    }
    return city;
}

nlohmann::json CountryGroups::fromServers(const nlohmann::json& servers) {
    nlohmann::json groups = nlohmann::json::array();
    if (!servers.is_array()) return groups;
    // The first group of each country; countries compare as exact texts.
    std::unordered_map<std::string, std::size_t> groupOfCountry;
    for (const auto& server : servers) {
        auto city = cityOf(server);
        if (!city) continue;
        const auto& country = server["country"].get_ref<const std::string&>();
        const auto [found, isNew] = groupOfCountry.try_emplace(country, groups.size());
        if (isNew) {
            groups.push_back({{"country", country}, {"cities", nlohmann::json::array()}});
        }
        groups[found->second]["cities"].push_back(std::move(*city));
    }
    return groups;
}

}  // namespace corvantis
