#pragma once

#include <string_view>

namespace corvantis {

// The OpenVPN client profile used when the backend gives none, as Base64: CRLF line ends, no line
// end after the last line, and the placeholders "[proto]", "[hostname]" and "[port]".
std::string_view openVpnFallbackProfile();

}  // namespace corvantis
