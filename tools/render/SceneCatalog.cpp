#include "tools/render/SceneCatalog.hpp"

#include "StatusPopup/StatusPopupController.hpp"
#include "app/ConnectView.hpp"
#include "app/LocationsView.hpp"
#include "app/LoginView.hpp"
#include "app/LoginViewController.hpp"
#include "app/MainWindow.hpp"
#include "app/SettingsView.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/SecureTextField.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/ViewController.hpp"

#include <vector>

namespace corvantis::tools {

namespace ui = platform::ui;

namespace {

void nothing(MainWindow&) {}

}  // namespace

SceneCatalog::SceneCatalog() {
    scenes_["login"] = {{View::loginView},
                        {{"empty", nothing},
                         {"filled",
                          [](MainWindow& main) {
                              main.loginView->txtUsername->setStringValue("jane@example.com");
                              main.loginView->txtPassword->setStringValue("secret");
                          }},
                         {"error", [](MainWindow& main) {
                              main.loginView->txtUsername->setStringValue("jane@example");
                              main.loginViewController->showError("Please, enter correct username and password to sign in");
                          }}}};
    scenes_["connect"] = {{View::connectView},
                          {{"disconnected", nothing},
                           {"connecting", [](MainWindow& main) { main.connectView->showConnectingButton(); }},
                           {"connected", [](MainWindow& main) { main.connectView->showConnectedButton(); }}}};
    scenes_["settings"] = {
        {View::connectView, View::settingsView},
        {{"app", nothing}, {"account", [](MainWindow& main) { main.settingsView->btnAccount->performClick(nullptr); }}}};
    scenes_["locations"] = {
        {View::connectView, View::locationsView},
        {{"all", nothing}, {"favourites", [](MainWindow& main) { main.locationsView->btnFavourites->performClick(nullptr); }}}};
}

std::shared_ptr<ui::Window> SceneCatalog::build(const std::string& scene, const std::string& state, std::string& error) const {
    const auto found = scenes_.find(scene);
    if (found == scenes_.end()) {
        error = "no scene \"" + scene + "\"";
        return nullptr;
    }
    const auto change = found->second.states.find(state);
    if (change == found->second.states.end()) {
        error = "scene \"" + scene + "\" has no state \"" + state + "\"";
        return nullptr;
    }
    auto& main = MainWindow::shared();
    main.setup(registerMainStoryboard());
    if (!main.popupController || !main.popupController->panel() || !main.connectView || !main.settingsView ||
        !main.locationsView) {
        error = "the storyboard \"Main\" lacks a screen";
        return nullptr;
    }
    auto window = std::static_pointer_cast<ui::Window>(main.popupController->panel());
    for (View view : found->second.path) main.switchToView(view);
    change->second(main);
    return window;
}

}  // namespace corvantis::tools
