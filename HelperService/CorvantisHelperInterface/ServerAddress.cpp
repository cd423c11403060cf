#include "HelperService/CorvantisHelperInterface/ServerAddress.hpp"

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <algorithm>

namespace corvantis::helper::ServerAddress {

namespace {

constexpr std::size_t longestName = 253;
constexpr std::size_t longestLabel = 63;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLabelCharacter(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-';
}

bool isDnsName(std::string_view text) {
    if (text.empty() || text.size() > longestName) return false;
    std::string_view last;
    for (std::string_view rest = text;;) {
        const auto dot = rest.find('.');
        const auto label = rest.substr(0, dot);
        if (label.empty() || label.size() > longestLabel || label.front() == '-' || label.back() == '-') return false;
        if (!std::all_of(label.begin(), label.end(), isLabelCharacter)) return false;
        last = label;
        if (dot == std::string_view::npos) break;
        rest.remove_prefix(dot + 1);
    }
    const bool numeric = std::all_of(last.begin(), last.end(), isDigit);
    const bool hexadecimal = last.size() > 1 && last[0] == '0' && (last[1] == 'x' || last[1] == 'X');
    return !numeric && !hexadecimal;
}

}  // namespace

bool isValid(std::string_view text) {
    return Ipv4Address::parse(text).has_value() || isDnsName(text);
}

}  // namespace corvantis::helper::ServerAddress
