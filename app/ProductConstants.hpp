#pragma once

#include <string>
#include <string_view>

namespace corvantis::product {

// The product's fixed addresses. Each can be pointed elsewhere through its environment variable
// (a test's own mailbox or a site on loopback); an empty variable counts as unset.
inline constexpr std::string_view defaultSupportEmail = "support@corvantisvpn.com";
inline constexpr std::string_view defaultSupportSite = "https://support.corvantisvpn.com";

// The address the support mail goes to: `CORVANTIS_SUPPORT_EMAIL`, else the built-in one.
std::string supportEmail();
// The support site's web address, without a final "/": `CORVANTIS_SUPPORT_SITE`, else the built-in one.
std::string supportSite();

}  // namespace corvantis::product
