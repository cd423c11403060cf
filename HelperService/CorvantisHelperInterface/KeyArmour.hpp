#pragma once

#include "HelperService/CorvantisHelperInterface/OpenVpnDirectives.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfile.hpp"
#include "platform/foundation/Expected.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// The text form of the key objects inside a profile's inline blocks: PEM (RFC 7468) with a
// DER body, and the OpenVPN static key, hex between its own armour lines.
namespace KeyArmour {

inline constexpr std::string_view staticKeyLabel = "OpenVPN Static key V1";
inline constexpr std::size_t staticKeyBytes = 256;

// The objects in a block's lines (line ends removed), checked against what the block may hold.
// Blank lines may stand around the objects and "#" comment lines before the first, as in the
// files openvpn writes; any other text outside the armour is refused. The reason quotes none of
// the text.
platform::foundation::Expected<std::vector<KeyObject>> read(const std::vector<std::string_view>& lines, KeyBlockContent content);

// The object in its standard armour, every line ended by a line feed.
std::string write(const KeyObject& object);

}  // namespace KeyArmour

}  // namespace corvantis::helper
