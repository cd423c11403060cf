#include "app/SettingsViewButton.hpp"

#include "app/AppDelegate.hpp"
#include "app/LogExport.hpp"
#include "app/MainWindow.hpp"
#include "app/ProductConstants.hpp"
#include "app/UserSettings.hpp"
#include "app/WebPages.hpp"

namespace corvantis {

void SettingsViewButton::mouseDown(const platform::ui::Event&) {
    switch (tag()) {
        case logOutTag:
            UserSettings::setUsername(std::nullopt);
            UserSettings::setPassword(std::nullopt);
            MainWindow::shared().switchToView(corvantis::View::loginView);
            break;
        case quitTag:
            if (const auto delegate = AppDelegate::shared()) delegate->quit();
            break;
        case supportMailTag: WebPages::open("mailto:" + product::supportEmail()); break;
        case supportSiteTag: WebPages::open(product::supportSite()); break;
        case exportLogsTag: LogExport::start(window()); break;
        default: break;
    }
}

}  // namespace corvantis
