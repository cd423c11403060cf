#pragma once

#include <optional>
#include <string_view>

namespace corvantis {

// The OpenVPN transport; saved as a Boolean (true for TCP).
enum class OpenVPNPort { TCP, UDP };

std::string_view rawValue(OpenVPNPort value);
// Exactly "TCP" or "UDP".
std::optional<OpenVPNPort> OpenVPNPortFromRaw(std::string_view text);

}  // namespace corvantis
