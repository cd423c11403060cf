#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <cstring>

namespace corvantis::helper {

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text) {
    Ipv4Address address;
    for (std::size_t part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.') : text.size();
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view digits = text.substr(0, end);
        if (digits.empty() || digits.size() > 3 || (digits.size() > 1 && digits.front() == '0')) return std::nullopt;
        unsigned value = 0;
        for (char digit : digits) {
            if (digit < '0' || digit > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(digit - '0');
        }
        if (value > 255) return std::nullopt;
        address.octets_[part] = static_cast<std::uint8_t>(value);
        text.remove_prefix(part < 3 ? end + 1 : end);
    }
    return address;
}

Ipv4Address Ipv4Address::fromNetworkOrder(std::uint32_t value) {
    Ipv4Address address;
    std::memcpy(address.octets_.data(), &value, sizeof value);
    return address;
}

std::uint32_t Ipv4Address::networkOrder() const {
    std::uint32_t value = 0;
    std::memcpy(&value, octets_.data(), sizeof value);
    return value;
}

std::string Ipv4Address::text() const {
    return std::to_string(octets_[0]) + "." + std::to_string(octets_[1]) + "." + std::to_string(octets_[2]) + "." +
           std::to_string(octets_[3]);
}

}  // namespace corvantis::helper
