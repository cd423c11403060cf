#pragma once

#include "app/City.hpp"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

// One country group of the server catalogue. Read and written on the main queue only.
class Server {
public:
    Server() = default;
    // From a country dictionary: "country" (the code) and "cities" (city dictionaries).
    explicit Server(const nlohmann::json& dictionary);
    // The group of a country code and its cities, built as the dictionary form would build it.
    Server(std::string countryCode, std::vector<std::shared_ptr<City>> cities);

    // One group per dictionary, in order; elements that are not dictionaries are skipped.
    static std::vector<std::shared_ptr<Server>> modelsFromDictionaryArray(const nlohmann::json& array);
    // The current locale's name of the country; none for a code the locale does not know.
    static std::optional<std::string> getCountryName(std::string_view countryCode);

    std::optional<std::string> country;
    std::optional<std::string> countryCode;
    std::optional<std::string> image;
    bool expend = false;
    std::vector<std::shared_ptr<City>> cities;
};

}  // namespace corvantis
