#pragma once

#include "HelperService/CorvantisHelperInterface/OpenVpnArgument.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// One client directive of the closed list the helper runs openvpn with: the kinds of its
// arguments in order, how many of them must be given, and whether it may appear more than once.
struct OpenVpnDirectiveRule {
    std::string name;
    std::size_t required = 0;
    std::vector<OpenVpnArgument> arguments;
    bool repeatable = false;
};

// What an inline block may hold.
enum class KeyBlockContent {
    certificates,  // one or more PEM certificates
    privateKey,    // one unencrypted PEM private key
    staticKey,     // one OpenVPN static key (V1)
};

// The client directives of the application's profiles: none runs a program other than the
// bundle's up and down scripts, names a file, loads a plugin, opens a management interface, sets
// the environment, includes a file or relaxes openvpn's own checks. Key material comes only in
// inline blocks.
namespace OpenVpnDirectives {

const std::vector<OpenVpnDirectiveRule>& rules();
// None when `name` is not on the list.
const OpenVpnDirectiveRule* rule(std::string_view name);
// The inline blocks by tag; none for any other tag.
std::optional<KeyBlockContent> blockContent(std::string_view tag);

}  // namespace OpenVpnDirectives

}  // namespace corvantis::helper
