#pragma once

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis {

// One VPN endpoint: a server in a city. Shared by reference between the lists that hold it;
// read and written on the main queue only.
class City {
public:
    City() = default;
    // From a city dictionary: "name", "address", "domain", "serverload", "status", "openvpn_tcp",
    // "openvpn_udp", "recommended". Text fields take a text as it is and a number as its decimal
    // text; any other value leaves them absent.
    explicit City(const nlohmann::json& dictionary);

    // One city per dictionary, in order; elements that are not dictionaries are skipped.
    static std::vector<std::shared_ptr<City>> modelsFromDictionaryArray(const nlohmann::json& array);

    std::optional<std::string> name;
    std::optional<std::string> shortName;
    std::optional<std::string> address;
    std::optional<std::string> domain;
    double serverload = 0;
    std::optional<std::string> status;
    bool isFavourite = false;
    std::optional<std::string> countryCode;
    std::optional<std::string> openvpnTcpPort;
    std::optional<std::string> openvpnUdpPort;
    bool isRecommended = false;
};

}  // namespace corvantis
