#include "app/SettingsViewButton.hpp"

#include "app/AppDelegate.hpp"
#include "app/LogExport.hpp"
#include "app/MainWindow.hpp"
#include "app/ProductConstants.hpp"
#include "app/UserSettings.hpp"
#include "platform/ui/Workspace.hpp"

namespace corvantis {

namespace {
void open(const std::string& address) {
    if (const auto url = platform::foundation::Url::fromString(address)) platform::ui::Workspace::shared().open(*url);
}
}  // namespace

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
        case supportMailTag: open("mailto:" + product::supportEmail()); break;
        case supportSiteTag: open(product::supportSite()); break;
        case exportLogsTag: LogExport::start(window()); break;
        default: break;
    }
}

}  // namespace corvantis
