#include "app/MainWindow.hpp"

#include "app/UserSettings.hpp"

namespace corvantis {

namespace {

// The scene's controller and view when both are of the classes the popup expects.
template <class Controller, class ScreenView>
void instantiate(platform::ui::Storyboard& storyboard, const char* identifier,
                 std::shared_ptr<Controller>& controller, std::shared_ptr<ScreenView>& view) {
    controller = std::dynamic_pointer_cast<Controller>(storyboard.instantiateController(identifier));
    view = controller ? std::dynamic_pointer_cast<ScreenView>(controller->view()) : nullptr;
}

}  // namespace

MainWindow& MainWindow::shared() {
    static MainWindow window;
    return window;
}

void MainWindow::resetShared() {
    shared() = MainWindow();
}

void MainWindow::setup(std::shared_ptr<platform::ui::Storyboard> storyboard) {
    storyBoard = std::move(storyboard);
    instantiate(*storyBoard, "loginViewController", loginViewController, loginView);
    instantiate(*storyBoard, "connectViewController", connectViewController, connectView);
    instantiate(*storyBoard, "settingsViewController", settingsViewController, settingsView);
    instantiate(*storyBoard, "locationsViewController", locationsViewController, locationsView);
}

void MainWindow::show() {}

bool MainWindow::isOpen() const {
    return false;
}

void MainWindow::switchToView(View view) {
    switch (view) {
    case View::loginView:
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

void MainWindow::setStatusBarIcon(bool) {}

void MainWindow::changeShowedLocation() {
    connectView->lblLocation->setStringValue(UserSettings::serverName().value_or(""));
    connectView->alignLocationLabel();
    locationsView->lblLocation->setStringValue(UserSettings::serverName().value_or(""));
    locationsView->alignLocationLabel();
}

void MainWindow::reloadServersListView() {
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
