#pragma once

#include "platform/foundation/Expected.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// The client profile that the application writes for openvpn, which the helper runs as root.
// The profile's author is an unprivileged user, so only client directives that neither run
// programs nor name files are accepted: key material must be inline, and the only scripts are
// the bundle's "up.sh" and "down.sh".
namespace OpenVpnProfileCheck {

inline constexpr std::size_t largestProfile = 1 << 20;

// What a checked profile asks of the helper: which of the bundle's scripts it runs.
struct CheckedProfile {
    std::vector<std::string> scripts;
};

// The reason names the first directive refused and its line.
platform::foundation::Expected<CheckedProfile> check(std::string_view profile);

}  // namespace OpenVpnProfileCheck

}  // namespace corvantis::helper
