#pragma once

#include <string>
#include <string_view>

namespace corvantis {

// The service's web pages, opened in the user's browser over HTTPS.
class WebPages {
public:
    WebPages() = delete;

    // The service's web site, as named to the user ("Please, visit corvantis.com …").
    static constexpr std::string_view webSiteDomain = "corvantis.com";
    static constexpr std::string_view supportSiteDomain = "support.corvantis.com";

    // Opens `path` ("/account/login/index") of the web site or of the support site; an address
    // that does not parse opens nothing.
    static void openWebSite(std::string_view path);
    static void openSupportSite(std::string_view path);

private:
    static void open(std::string_view domain, std::string_view path);
};

}  // namespace corvantis
