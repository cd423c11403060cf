#include "tools/render/SceneCatalog.hpp"

#include "StatusPopup/StatusPopupController.hpp"
#include "app/AppDelegate.hpp"
#include "app/City.hpp"
#include "app/ConnectView.hpp"
#include "app/InfoIconImage.hpp"
#include "app/LocationsView.hpp"
#include "app/LocationsViewController.hpp"
#include "app/LoginView.hpp"
#include "app/LoginViewController.hpp"
#include "app/MainWindow.hpp"
#include "app/SettingsView.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/MenuView.hpp"
#include "platform/ui/SecureTextField.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/ViewController.hpp"

#include <vector>

namespace corvantis::tools {

namespace ui = platform::ui;

namespace {

std::shared_ptr<ui::Window> nothing(MainWindow&) {
    return nullptr;
}

// What the sign-in can answer, each shown in the form's error label.
const std::map<std::string, std::string> loginErrors{
    {"error", "Please, enter correct username and password to sign in"},
    {"error-credentials", "Login failed: invalid username or password"},
    {"error-unconfirmed", "Please verify email to activate account and trial"},
    {"error-no-vpn-guide", "You have no active VPN subscriptions. Please follow this guide to upgrade"},
    {"error-no-vpn-purchase", "You have no active VPN subscriptions. Please, visit corvantis.com to purchase"},
    {"error-connection", "Something went wrong. Please check your connection and try again or contact support"},
    {"error-maintenance", "Server is under maintenance. Please try again a little later"},
};

void fillForm(MainWindow& main) {
    main.loginView->txtUsername->setStringValue("jane@example.com");
    main.loginView->txtPassword->setStringValue("secret");
}

// The e-mail field being edited in the key popup, with `selection` of its text selected.
std::shared_ptr<ui::Window> editing(MainWindow& main, ui::TextRange selection) {
    fillForm(main);
    const auto panel = std::static_pointer_cast<ui::Window>(main.popupController->panel());
    panel->makeKey();
    panel->makeFirstResponder(main.loginView->txtUsername);
    main.loginView->txtUsername->setSelectedRange(selection);
    return nullptr;
}

// The pointer over the kill switch's information icon: its hint's popover.
std::shared_ptr<ui::Window> killSwitchHint(MainWindow& main) {
    for (const auto& view : main.settingsView->selfAndDescendants()) {
        auto* icon = dynamic_cast<InfoIconImage*>(view.get());
        if (icon == nullptr || icon->tag() != 0) continue;
        const ui::Point middle = icon->convert(ui::Point{icon->bounds().midX(), icon->bounds().midY()}, nullptr);
        ui::Application::shared().sendEvent(
            ui::Event::mouseEvent(ui::EventType::mouseMoved, middle, icon->window()->sharedWindow()));
        return icon->popover.isShown() ? icon->popover.window() : nullptr;
    }
    return nullptr;
}

// The Quit menu that a right click pops up, with the pointer over its item.
std::shared_ptr<ui::Window> quitMenu(MainWindow& main) {
    std::shared_ptr<ui::Window> shown;
    ui::Menu::setPopUpHandler([&shown](const ui::Menu::PopUp& request) {
        auto view = std::make_shared<ui::MenuView>(request.menu, nullptr);
        shown = std::make_shared<ui::Window>(view->frame(), ui::WindowStyleMask::borderless);
        shown->setOpaque(false);
        shown->setBackgroundColor(ui::Color::clear());
        shown->setContentView(view);
        return nullptr;
    });
    const auto panel = std::static_pointer_cast<ui::Window>(main.popupController->panel());
    ui::Application::shared().sendEvent(ui::Event::mouseEvent(ui::EventType::rightMouseUp, {10, 10}, panel));
    ui::Menu::setPopUpHandler(nullptr);
    if (!shown) return nullptr;
    const ui::Rect body = std::static_pointer_cast<ui::MenuView>(shown->contentView())->body();
    shown->orderFront();
    ui::Application::shared().sendEvent(ui::Event::mouseEvent(ui::EventType::mouseMoved, {body.midX(), body.maxY() - 10}, shown));
    return shown;
}

// A few cities in the list, as a signed-in account has them.
void listCities(MainWindow& main) {
    if (!AppDelegate::shared()) AppDelegate::setShared(std::make_shared<AppDelegate>());
    std::vector<std::shared_ptr<City>> cities;
    for (const auto& [code, name] :
         {std::pair{"fr", "France - Nice"}, {"de", "Germany - Berlin"}, {"nl", "Netherlands - Amsterdam"}}) {
        auto city = std::make_shared<City>();
        city->name = name;
        city->countryCode = code;
        city->domain = std::string(code) + ".example";
        cities.push_back(std::move(city));
    }
    AppDelegate::shared()->allCities = std::move(cities);
    main.reloadServersListView();
}

// The search bar open over the list, with `text` typed.
std::shared_ptr<ui::Window> searching(MainWindow& main, const std::string& text) {
    listCities(main);
    const auto panel = std::static_pointer_cast<ui::Window>(main.popupController->panel());
    panel->makeKey();
    main.locationsViewController->btnSearchClick(nullptr);
    if (!text.empty()) main.locationsViewController->searchField->type(text);
    return nullptr;
}

}  // namespace

SceneCatalog::SceneCatalog() {
    std::map<std::string, State> login{
        {"empty", nothing},
        {"filled",
         [](MainWindow& main) {
             fillForm(main);
             return nullptr;
         }},
        {"signing-in",
         [](MainWindow& main) {
             // As the form stands while the request runs.
             fillForm(main);
             main.loginView->txtUsername->setEnabled(false);
             main.loginView->txtPassword->setEnabled(false);
             main.loginView->btnLogin->setTitle("Logging in...");
             main.loginView->btnLogin->setEnabled(false);
             return nullptr;
         }},
        {"caret",
         [](MainWindow& main) {
             return editing(main, {16, 0});
         }},
        {"selection",
         [](MainWindow& main) {
             return editing(main, {5, 7});
         }},
    };
    for (const auto& [state, message] : loginErrors) {
        login[state] = [message = message](MainWindow& main) {
            main.loginView->txtUsername->setStringValue("jane@example");
            main.loginViewController->showError(message);
            return nullptr;
        };
    }
    scenes_["login"] = {{View::loginView}, std::move(login)};
    scenes_["connect"] = {{View::connectView},
                          {{"disconnected", nothing},
                           {"connecting",
                            [](MainWindow& main) {
                                main.connectView->showConnectingButton();
                                return nullptr;
                            }},
                           {"connected", [](MainWindow& main) {
                                main.connectView->showConnectedButton();
                                return nullptr;
                            }}}};
    scenes_["settings"] = {{View::connectView, View::settingsView},
                           {{"app", nothing},
                            {"account",
                             [](MainWindow& main) {
                                 main.settingsView->btnAccount->performClick(nullptr);
                                 return nullptr;
                             }},
                            {"hint", killSwitchHint},
                            {"quit-menu", quitMenu}}};
    scenes_["locations"] = {{View::connectView, View::locationsView},
                            {{"all", nothing},
                             {"cities",
                              [](MainWindow& main) {
                                  listCities(main);
                                  return nullptr;
                              }},
                             {"search", [](MainWindow& main) { return searching(main, ""); }},
                             {"search-text", [](MainWindow& main) { return searching(main, "Ber"); }},
                             {"favourites", [](MainWindow& main) {
                                  main.locationsView->btnFavourites->performClick(nullptr);
                                  return nullptr;
                              }}}};
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
    const auto opened = change->second(main);
    if (opened) return opened;
    return window;
}

}  // namespace corvantis::tools
