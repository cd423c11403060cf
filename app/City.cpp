#include "app/City.hpp"

#include "app/JsonValue.hpp"

#include <nlohmann/json.hpp>

namespace corvantis {

namespace {
std::optional<std::string> text(const nlohmann::json& dictionary, const std::string& key) {
    const auto* value = JsonValue::member(dictionary, key);
    return value == nullptr ? std::nullopt : JsonValue::textValue(*value);
}

double number(const nlohmann::json& dictionary, const std::string& key) {
    const auto* value = JsonValue::member(dictionary, key);
    return value == nullptr ? 0.0 : JsonValue::doubleValue(*value);
}

long long integer(const nlohmann::json& dictionary, const std::string& key) {
    const auto* value = JsonValue::member(dictionary, key);
    return value == nullptr ? 0 : JsonValue::integerValue(*value);
}
}  // namespace

City::City(const nlohmann::json& dictionary)
    : name(text(dictionary, "name")),
      address(text(dictionary, "address")),
      domain(text(dictionary, "domain")),
      serverload(number(dictionary, "serverload")),
      status(text(dictionary, "status")),
      openvpnTcpPort(text(dictionary, "openvpn_tcp")),
      openvpnUdpPort(text(dictionary, "openvpn_udp")),
      isRecommended(integer(dictionary, "recommended") == 1) {}

std::vector<std::shared_ptr<City>> City::modelsFromDictionaryArray(const nlohmann::json& array) {
    return JsonValue::modelsFromDictionaries<City>(array);
}

}  // namespace corvantis
