#include "HelperService/CorvantisHelper/TunnelPush.hpp"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace corvantis::helper {

namespace {

constexpr std::string_view linkPrefix = "tunnel-link ";
constexpr std::string_view optionPrefix = "pushed-option ";

bool isLinkName(const std::string& name) {
    return !name.empty() && name.size() < 16 && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '.' || c == '_' || c == '-';
    });
}

// A host or domain name: labels of 1 to 63 letters, digits and inner hyphens, 253 at most in all.
bool isDomainName(const std::string& name) {
    if (name.empty() || name.size() > 253) return false;
    std::istringstream labels(name);
    for (std::string label; std::getline(labels, label, '.');) {
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        if (!std::all_of(label.begin(), label.end(), [](unsigned char c) { return std::isalnum(c) != 0 || c == '-'; })) {
            return false;
        }
    }
    return name.back() != '.';
}

template <typename Value>
void addOnce(std::vector<Value>& values, Value value) {
    if (std::find(values.begin(), values.end(), value) == values.end()) values.push_back(std::move(value));
}

}  // namespace

bool TunnelPush::take(std::string_view line) {
    if (line == "tunnel-report-end") {
        complete = true;
        return true;
    }
    if (line.starts_with(linkPrefix)) {
        const std::string name(line.substr(linkPrefix.size()));
        if (isLinkName(name)) link = name;
        return true;
    }
    if (!line.starts_with(optionPrefix)) return false;
    std::istringstream words{std::string(line.substr(optionPrefix.size()))};
    std::string directive, kind, value, rest;
    if (!(words >> directive >> kind >> value) || (words >> rest) || directive != "dhcp-option") return true;
    if (kind == "DNS") {
        if (const auto server = Ipv4Address::parse(value)) addOnce(nameServers, *server);
    } else if (kind == "DOMAIN" || kind == "DOMAIN-SEARCH") {
        std::transform(value.begin(), value.end(), value.begin(), [](unsigned char c) { return std::tolower(c); });
        if (isDomainName(value)) addOnce(domains, value);
    }
    return true;
}

}  // namespace corvantis::helper
