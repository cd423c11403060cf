#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvantis::testing {

// What a smuggled directive looks like in the shapes below; a rendering must never hold it.
inline constexpr std::string_view hiddenDirective = "plugin /tmp/evil.so";

// The lines every shape starts from: a client profile the helper accepts.
inline constexpr std::string_view clientHead = "client\ndev tun\nproto udp\nremote 198.51.100.1 1194\n";

// A PEM object of `label` whose body is a minimal DER sequence: well formed, never a usable key.
std::string pemObject(std::string_view label);
// An OpenVPN static key as `openvpn --genkey secret` writes it, comment lines included.
std::string staticKey();
// An inline block of `tag` around `content`.
std::string block(std::string_view tag, const std::string& content);

// A profile text that tries to get something past the profile reader, and what must come of it:
// accepted (and then rendered without the hidden directive) or refused with a reason that holds
// `reason`.
struct ProfileShape {
    std::string what;
    std::string text;
    bool accepted;
    std::string reason;
};

// The ways openvpn 2.6 reads a text differently from a simple reader: block ends, long lines,
// quoting, escapes, comments, line ends, stray bytes, leading blanks and dashes, repeats,
// includes, nested blocks, relaxed checks, and the directives that run programs or name files.
std::vector<ProfileShape> smugglingShapes();

}  // namespace corvantis::testing
