#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvantis::helper {

// An IPv4 address in dotted-decimal form. Parsing is strict: four decimal numbers 0-255
// without signs, blanks or leading zeros, so the text is also the only way to write it.
class Ipv4Address {
public:
    static std::optional<Ipv4Address> parse(std::string_view text);
    // From a 32-bit value in network byte order, as the kernel's route table holds it.
    static Ipv4Address fromNetworkOrder(std::uint32_t value);

    std::string text() const;
    // As a 32-bit value in network byte order, as netlink carries it.
    std::uint32_t networkOrder() const;
    bool operator==(const Ipv4Address&) const = default;

private:
    std::array<std::uint8_t, 4> octets_{};
};

}  // namespace corvantis::helper
