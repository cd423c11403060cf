#pragma once

#include <string_view>

namespace corvantis::helper::ServerAddress {

// Whether `text` names a server in a configuration root writes: a dotted-decimal IPv4 address,
// or a DNS name of letters, digits and hyphens in labels of up to 63 (253 in all) whose last
// label does not look like a number, so that no resolver reads the name as an address ("10.1",
// "0x7f.1").
bool isValid(std::string_view text);

}  // namespace corvantis::helper::ServerAddress
