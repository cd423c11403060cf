#include "app/WebPages.hpp"

#include "app/ProductConstants.hpp"
#include "platform/foundation/Url.hpp"
#include "platform/ui/Workspace.hpp"

#include <string>

namespace corvantis {

void WebPages::openWebSite(std::string_view path) {
    open("https://" + std::string(webSiteDomain) + std::string(path));
}

void WebPages::openSupportSite(std::string_view path) {
    open(product::supportSite() + std::string(path));
}

void WebPages::open(const std::string& address) {
    if (const auto url = platform::foundation::Url::fromString(address)) platform::ui::Workspace::shared().open(*url);
}

}  // namespace corvantis
