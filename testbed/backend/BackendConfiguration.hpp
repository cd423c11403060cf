#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace corvantis::testbed {

// One VPN server of the catalogue, as the profile lists it.
struct BackendServer {
    std::string country;  // ISO code
    std::string city;
    std::string name;  // host name
    std::string address;
    std::string serverstatus = "1";
    int openvpnTcpPort = 443;
    int openvpnUdpPort = 1194;
    double serverload = 12.5;
};

struct BackendProduct {
    int productId = 0;
    std::string title;
};

// A subscriber the backend knows.
struct BackendAccount {
    std::string username;
    std::string password;
    std::string vpnPassword;
    std::string emailConfirmed = "1";
    // Product id (decimal text) → expiry date "yyyy-MM-dd".
    std::map<std::string, std::string> subscriptions;
    // Category ids: "2" VPN, "1" DNS.
    std::vector<std::string> categories;
    std::vector<BackendServer> servers;
};

// Everything the test backend serves.
struct BackendConfiguration {
    std::string clientId = "7e0b3a9c51d24f86b2c9e4a07d6f1b35";
    std::vector<BackendAccount> accounts;
    std::vector<BackendProduct> products;
    // OpenVPN client profiles, sent as Base64.
    std::string tcpConfig;
    std::string udpConfig;

    // A small catalogue with one demo subscriber ("demo@corvantis.test" / "demo-password").
    static BackendConfiguration demo();
    // The demo subscriber with a catalogue of `serverCount` servers spread evenly over
    // `countryCount` countries (real ISO codes, at most 200), several servers to a city.
    static BackendConfiguration withCatalogue(std::size_t serverCount, std::size_t countryCount);

    static constexpr std::size_t largestCountryCount = 200;
};

}  // namespace corvantis::testbed
