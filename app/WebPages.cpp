#include "app/WebPages.hpp"

#include "app/AppDelegate.hpp"
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
    const auto url = platform::foundation::Url::fromString(address);
    if (!url) return;
    const auto failed = [address](const platform::foundation::Error& error) {
        const auto delegate = AppDelegate::shared();
        const auto& logger = delegate ? delegate->logger : prq::PRQLogger::defaultLogger();
        logger->error([&] { return address + " could not be opened: " + error.message; });
    };
    if (const auto opened = platform::ui::Workspace::shared().open(*url, failed); !opened) failed(opened.error());
}

}  // namespace corvantis
