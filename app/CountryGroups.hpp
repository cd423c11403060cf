#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>

namespace corvantis {

// Groups the profile's server list by country, the shape `Server::modelsFromDictionaryArray`
// takes: an array of {"country": code, "cities": [city dictionaries]}.
class CountryGroups {
public:
    CountryGroups() = delete;

    // Groups stand in the order their country first appears among the kept servers, and each
    // group's cities in the order of their servers. A server is left out when it is no object,
    // when its "serverstatus" reads as the integer 0, or when its "country", "city" or "name"
    // is not a text.
    static nlohmann::json fromServers(const nlohmann::json& servers);

    // The city dictionary of one server object, the server's own values unconverted; none when
    // the server is left out.
    static std::optional<nlohmann::json> cityOf(const nlohmann::json& server);
};

}  // namespace corvantis
