#include "app/WebPages.hpp"

#include "platform/foundation/Url.hpp"
#include "platform/ui/Workspace.hpp"

namespace corvantis {

void WebPages::openWebSite(std::string_view path) {
    open(webSiteDomain, path);
}

void WebPages::openSupportSite(std::string_view path) {
    open(supportSiteDomain, path);
}

void WebPages::open(std::string_view domain, std::string_view path) {
    const auto url = platform::foundation::Url::fromString("https://" + std::string(domain) + std::string(path));
    if (url) platform::ui::Workspace::shared().open(*url);
}

}  // namespace corvantis
