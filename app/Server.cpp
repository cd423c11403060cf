#include "app/Server.hpp"

#include "app/JsonValue.hpp"
#include "platform/foundation/Locale.hpp"

#include <nlohmann/json.hpp>

namespace corvantis {

namespace {
std::optional<std::string> countryCodeOf(const nlohmann::json& dictionary) {
    const auto* value = JsonValue::member(dictionary, "country");
    return value == nullptr ? std::nullopt : JsonValue::textValue(*value);
}

std::vector<std::shared_ptr<City>> citiesOf(const nlohmann::json& dictionary) {
    const auto* value = JsonValue::member(dictionary, "cities");
    return value == nullptr ? std::vector<std::shared_ptr<City>>{} : City::modelsFromDictionaryArray(*value);
}
}  // namespace

Server::Server(const nlohmann::json& dictionary) : countryCode(countryCodeOf(dictionary)), cities(citiesOf(dictionary)) {
    image = countryCode;
    if (countryCode) country = getCountryName(*countryCode);
}

Server::Server(std::string countryCode, std::vector<std::shared_ptr<City>> cities)
    : country(getCountryName(countryCode)),
      countryCode(std::move(countryCode)),
      image(this->countryCode),
      cities(std::move(cities)) {}

std::vector<std::shared_ptr<Server>> Server::modelsFromDictionaryArray(const nlohmann::json& array) {
    return JsonValue::modelsFromDictionaries<Server>(array);
}

std::optional<std::string> Server::getCountryName(std::string_view countryCode) {
    return platform::foundation::Locale::current()->localizedCountryName(countryCode);
}

}  // namespace corvantis
