#include "app/OpenVPNPort.hpp"

namespace corvantis {

std::string_view rawValue(OpenVPNPort value) {
    return value == OpenVPNPort::TCP ? "TCP" : "UDP";
}

std::optional<OpenVPNPort> OpenVPNPortFromRaw(std::string_view text) {
    if (text == "TCP") return OpenVPNPort::TCP;
    if (text == "UDP") return OpenVPNPort::UDP;
    return std::nullopt;
}

}  // namespace corvantis
