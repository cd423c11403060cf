#pragma once

#include "app/ConnectView.hpp"
#include "app/ConnectViewController.hpp"
#include "app/LocationsView.hpp"
#include "app/LocationsViewController.hpp"
#include "app/LoginView.hpp"
#include "app/LoginViewController.hpp"
#include "app/SettingsView.hpp"
#include "app/SettingsViewController.hpp"
#include "platform/ui/Storyboard.hpp"

#include <memory>
#include <source_location>

namespace corvantis {

class StatusPopupController;

// The popup's four screens, in this order.
enum class View { loginView, connectView, settingsView, locationsView };

// The one object that holds the popup together: the storyboard, the popup controller and the
// four screens with their controllers. Every operation but `setup` needs a complete setup first;
// before it, an operation only writes an error line to the log. Main queue only.
class MainWindow {
public:
    // The one main window, created on first use.
    static MainWindow& shared();
    // Puts the shared window back to its first-use state (tests only).
    static void resetShared();

    std::shared_ptr<platform::ui::Storyboard> storyBoard;
    std::shared_ptr<StatusPopupController> popupController;
    std::shared_ptr<LoginViewController> loginViewController;
    std::shared_ptr<LoginView> loginView;
    std::shared_ptr<ConnectViewController> connectViewController;
    std::shared_ptr<ConnectView> connectView;
    std::shared_ptr<SettingsViewController> settingsViewController;
    std::shared_ptr<SettingsView> settingsView;
    std::shared_ptr<LocationsViewController> locationsViewController;
    std::shared_ptr<LocationsView> locationsView;

    // Builds the popup and its four screens from `storyboard` and opens it on the login screen.
    void setup(std::shared_ptr<platform::ui::Storyboard> storyboard);
    // Opens the popup again and makes its window key.
    void show();
    // True while the popup is open on the settings screen.
    bool isOpen() const;
    // Shows `view` by hiding the screen it is reached from; the login screen first has the helper
    // end every tunnel.
    void switchToView(View view);
    // The status item's image for a tunnel that is up or not.
    void setStatusBarIcon(bool connected);
    // Writes the chosen city's short name into the connect and locations screens.
    void changeShowedLocation();
    void reloadServersListView();

private:
    // Whether setup has given every part; logs an error naming `operation` when it has not.
    bool isSetUp(std::source_location operation = std::source_location::current()) const;
};

// Registers the four scenes of the storyboard "Main" and returns it.
std::shared_ptr<platform::ui::Storyboard> registerMainStoryboard();

}  // namespace corvantis
