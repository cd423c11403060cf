#include "app/MainWindow.hpp"

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "StatusPopup/StatusPopupHost.hpp"
#include "app/AppDelegate.hpp"
#include "app/ScreenColors.hpp"
#include "app/UserSettings.hpp"
#include "platform/ui/Appearance.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/TableView.hpp"
#include "platform/ui/TextField.hpp"

namespace corvantis {

namespace {

// The scene's controller and view when both are of the classes the popup expects.
template <class Controller, class ScreenView>
void instantiate(platform::ui::Storyboard& storyboard, const char* identifier, std::shared_ptr<Controller>& controller,
                 std::shared_ptr<ScreenView>& view) {
    controller = std::dynamic_pointer_cast<Controller>(storyboard.instantiateController(identifier));
    view = controller ? std::dynamic_pointer_cast<ScreenView>(controller->view()) : nullptr;
}

// The status item's width in points.
constexpr double statusItemLength = 22.0;
constexpr const char* inactiveIcon = "StatusBarIconInactive";
constexpr const char* activeIcon = "StatusBarIconActive";

// Until images are drawn from their SVG files under the resources' "images" folder, each icon
// name stands for a transparent image of the size the bar shows it at.
void registerStatusBarIcons() {
    for (const char* name : {inactiveIcon, activeIcon}) {
        if (!platform::ui::Image::named(name)) platform::ui::Image::make({18, 18})->setName(name);
    }
}

// The popup reaches the application delegate only through these answers.
void installPopupHost() {
    StatusPopupHost::install({
        [] {
            const auto delegate = AppDelegate::shared();
            return delegate && delegate->helperJustInstalled;
        },
        [](bool justInstalled) {
            if (const auto delegate = AppDelegate::shared()) delegate->helperJustInstalled = justInstalled;
        },
        [] {
            if (const auto delegate = AppDelegate::shared()) delegate->quit();
        },
    });
}

}  // namespace

MainWindow& MainWindow::shared() {
    // Never destroyed: the popup's windows and views must not be torn down after the statics
    // they reach at exit.
    static auto* window = new MainWindow();
    return *window;
}

void MainWindow::resetShared() {
    shared() = MainWindow();
}

bool MainWindow::isSetUp(std::source_location operation) const {
    if (storyBoard && popupController && loginViewController && loginView && connectViewController && connectView &&
        settingsViewController && settingsView && locationsViewController && locationsView) {
        return true;
    }
    prq::error([] { return "The main window is not set up"; }, {},
               prq::CallSite(operation.function_name(), operation.file_name(), operation.line()));
    return false;
}

void MainWindow::setup(std::shared_ptr<platform::ui::Storyboard> storyboard) {
    // The alerts, sheets, menus and save panel that the platform draws belong with the screens.
    platform::ui::Appearance::setCurrent(screenAppearance());
    storyBoard = std::move(storyboard);
    instantiate(*storyBoard, "loginViewController", loginViewController, loginView);
    if (!loginView) {
        prq::error([] { return "The storyboard has no login screen"; });
        return;
    }
    // Before the other screens: adding the login screen to the popup starts its sign-in.
    installPopupHost();
    popupController = StatusPopupController::make(loginViewController->view());
    instantiate(*storyBoard, "connectViewController", connectViewController, connectView);
    instantiate(*storyBoard, "settingsViewController", settingsViewController, settingsView);
    instantiate(*storyBoard, "locationsViewController", locationsViewController, locationsView);
    if (!isSetUp()) return;

    const auto container = popupController->containerView();
    container->setConnectView(connectView);
    container->setSettingsView(settingsView);
    container->setLocationsView(locationsView);

    const auto item = popupController->statusItem();
    item->setTitle("");
    registerStatusBarIcons();
    item->setImage(platform::ui::Image::named(inactiveIcon));
    item->setLength(statusItemLength);

    popupController->backgroundView()->backgroundColor = platform::ui::Color::white();
    popupController->openDuration = 0.15;
    popupController->closeDuration = 0.2;
    popupController->setArrowSize({12, 8});
    popupController->setContentInset(0);
    popupController->didOpenPopup = [this] {
        loginView->playAnimation();
        connectView->playAnimation();
    };
    popupController->openPopup();
}

void MainWindow::show() {
    if (!isSetUp()) return;
    popupController->openPopup();
    if (const auto window = popupController->window()) window->makeKey();
}

bool MainWindow::isOpen() const {
    if (!isSetUp()) return false;
    const auto button = popupController->statusItem()->button();
    return button && button->isHighlighted() && !settingsView->isHidden();
}

void MainWindow::switchToView(View view) {
    if (!isSetUp()) return;
    switch (view) {
        case View::loginView:
            if (const auto helper = HelperService::shared()) helper->terminateAllVpnConnections();
            settingsView->hide();
            loginView->show();
            break;
        case View::connectView:
            connectView->show();
            loginView->hide();
            loginViewController->hideError();
            settingsView->hide();
            locationsView->hide();
            break;
        case View::settingsView:
            connectView->hide();
            settingsView->show();
            break;
        case View::locationsView:
            connectView->hide();
            locationsView->show();
            break;
    }
}

void MainWindow::setStatusBarIcon(bool connected) {
    if (!isSetUp()) return;
    popupController->statusItem()->setImage(platform::ui::Image::named(connected ? activeIcon : inactiveIcon));
}

void MainWindow::changeShowedLocation() {
    if (!isSetUp()) return;
    // A screen whose storyboard scene gave it no label is left alone.
    if (connectView->lblLocation) {
        connectView->lblLocation->setStringValue(UserSettings::serverName().value_or(""));
        connectView->alignLocationLabel();
    }
    if (locationsView->lblLocation) {
        locationsView->lblLocation->setStringValue(UserSettings::serverName().value_or(""));
        locationsView->alignLocationLabel();
    }
}

void MainWindow::reloadServersListView() {
    if (!isSetUp()) return;
    locationsViewController->tableView->reloadData();
}

std::shared_ptr<platform::ui::Storyboard> registerMainStoryboard() {
    auto storyboard = platform::ui::Storyboard::named("Main");
    LoginViewController::registerScene(*storyboard);
    ConnectViewController::registerScene(*storyboard);
    SettingsViewController::registerScene(*storyboard);
    LocationsViewController::registerScene(*storyboard);
    return storyboard;
}

}  // namespace corvantis
