#pragma once

#include "HelperService/CorvantisHelperInterface/OpenVpnProfile.hpp"
#include "platform/foundation/Expected.hpp"

#include <cstddef>
#include <string_view>

namespace corvantis::helper {

// Reads a client profile's text into records. The reading is strict and simple, and openvpn
// never sees the text itself, only the records' rendering, so the two need not agree on any
// subtle point of openvpn's syntax: lines end with LF or CRLF, hold only printable ASCII and tabs
// and at most 254 bytes (openvpn 2.6 takes no longer line, and a rendered line is never longer
// than the line it came from); blank lines and lines or words that begin with "#" or ";" are comments;
// every other line is one directive of the closed list with arguments of their kinds, or an
// inline block of a known tag that opens and closes on lines of its own and holds key objects of
// its kind and no line that begins with "<". A directive other than "remote" appears once, so
// does a block. A profile names "client" and at least one remote server.
namespace OpenVpnProfileParser {

inline constexpr std::size_t largestProfile = 1 << 20;
inline constexpr std::size_t longestLine = 254;
inline constexpr std::size_t mostRemotes = 64;

// The reason for a refusal names the line and what is wrong with it, never its text.
platform::foundation::Expected<OpenVpnProfile> parse(std::string_view text);

}  // namespace OpenVpnProfileParser

}  // namespace corvantis::helper
