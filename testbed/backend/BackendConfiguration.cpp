#include "testbed/backend/BackendConfiguration.hpp"

#include "platform/foundation/Locale.hpp"

#include <algorithm>
#include <cctype>

namespace corvantis::testbed {

namespace {
// The first `count` two-letter codes, in alphabetical order, that name a country.
std::vector<std::string> countryCodes(std::size_t count) {
    const platform::foundation::Locale english("en_US");
    std::vector<std::string> codes;
    for (char first = 'A'; first <= 'Z' && codes.size() < count; ++first) {
        for (char second = 'A'; second <= 'Z' && codes.size() < count; ++second) {
            const std::string code{first, second};
            if (english.localizedCountryName(code)) codes.push_back(code);
        }
    }
    return codes;
}

std::string lowercased(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}
}  // namespace

BackendConfiguration BackendConfiguration::demo() {
    BackendConfiguration configuration;
    configuration.products = {{7, "Monthly"}, {9, "Yearly"}};
    BackendAccount account;
    account.username = "demo@corvantis.test";
    account.password = "demo-password";
    account.vpnPassword = "vpn-demo-secret";
    account.subscriptions = {{"9", "2027-01-15"}};
    account.categories = {"2"};
    account.servers = {
        {"DE", "Frankfurt", "de-fra-01.corvantis.test", "198.51.100.10"},
        {"DE", "Berlin", "de-ber-01.corvantis.test", "198.51.100.11"},
        {"FR", "Paris", "fr-par-01.corvantis.test", "198.51.100.20"},
        {"US", "New York", "us-nyc-01.corvantis.test", "198.51.100.30"},
    };
    configuration.accounts.push_back(std::move(account));
    configuration.tcpConfig = "client\nproto [proto]\nremote [hostname] [port]\n";
    configuration.udpConfig = "client\nproto [proto]\nremote [hostname] [port]\n";
    return configuration;
}

BackendConfiguration BackendConfiguration::withCatalogue(std::size_t serverCount, std::size_t countryCount) {
    constexpr std::size_t serversPerCity = 4;
    auto configuration = demo();
    const auto codes = countryCodes(std::clamp<std::size_t>(countryCount, 1, largestCountryCount));
    auto& servers = configuration.accounts.front().servers;
    servers.clear();
    servers.reserve(serverCount);
    for (std::size_t index = 0; index < serverCount; ++index) {
        const auto& code = codes[index % codes.size()];
        const std::size_t ofCountry = index / codes.size();
        const std::string city = "City " + std::to_string(ofCountry / serversPerCity + 1);
        // 198.18.0.0/15 is set aside for benchmarks: 131,072 addresses, none of them reachable.
        const std::string address = "198." + std::to_string(18 + index / 65536) + "." + std::to_string(index / 256 % 256) + "." +
                                    std::to_string(index % 256);
        servers.push_back({code, city, lowercased(code) + "-" + std::to_string(ofCountry + 1) + ".corvantis.test", address});
        servers.back().serverload = static_cast<double>(index % 100);
    }
    return configuration;
}

}  // namespace corvantis::testbed
