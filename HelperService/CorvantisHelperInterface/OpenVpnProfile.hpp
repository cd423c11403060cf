#pragma once

#include <string>
#include <vector>

namespace corvantis::helper {

// One directive of the closed list (OpenVpnDirectives) with its arguments, each checked for its
// kind and kept in its canonical spelling.
struct OpenVpnDirective {
    std::string name;
    std::vector<std::string> arguments;
    bool operator==(const OpenVpnDirective&) const = default;
};

// One armoured object of an inline block: its label ("CERTIFICATE", "PRIVATE KEY", "OpenVPN
// Static key V1") and its decoded bytes.
struct KeyObject {
    std::string label;
    std::string bytes;
    bool operator==(const KeyObject&) const = default;
};

// An inline block of a known tag and the key objects it holds.
struct OpenVpnInlineBlock {
    std::string tag;
    std::vector<KeyObject> objects;
    bool operator==(const OpenVpnInlineBlock&) const = default;
};

// What a client profile says, as records (OpenVpnProfileParser makes them from a text). Its
// rendering is the only text openvpn ever reads from a profile: one directive per line, its
// canonical arguments after single blanks, then each block with its objects in the standard
// armour (PEM at 64 columns, a static key as 16 lines of 32 hex digits), every line short and
// ended by a line feed.
struct OpenVpnProfile {
    std::vector<OpenVpnDirective> directives;
    std::vector<OpenVpnInlineBlock> blocks;
    bool operator==(const OpenVpnProfile&) const = default;

    std::string render() const;
    // The bundle scripts the profile runs ("up.sh", "down.sh"), in profile order.
    std::vector<std::string> scripts() const;
};

}  // namespace corvantis::helper
