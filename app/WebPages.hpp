#pragma once

#include <string_view>

namespace corvantis {

// The service's web pages, opened in the user's browser.
class WebPages {
public:
    WebPages() = delete;

    // The service's web site, as named to the user ("Please, visit corvantisvpn.com …").
    static constexpr std::string_view webSiteDomain = "corvantisvpn.com";

    // Opens `path` ("/account/login/index") of the web site over HTTPS, or of the support site;
    // an address that does not parse opens nothing.
    static void openWebSite(std::string_view path);
    static void openSupportSite(std::string_view path);
    // Opens `address` in the user's browser or mail client; an address that does not parse opens
    // nothing, and one that cannot be handed over, or that the program it went to fails to open,
    // is logged with the reason.
    static void open(const std::string& address);
};

}  // namespace corvantis
