#pragma once

#include <optional>
#include <string_view>

namespace corvantis {

// The VPN protocol as the settings store it: its raw value is what is saved.
enum class Protocol : int { L2TP = 2, OpenVPN = 1, IKEv2 = 0 };

std::optional<Protocol> ProtocolFromRaw(int raw);
std::string_view description(Protocol value);

}  // namespace corvantis
