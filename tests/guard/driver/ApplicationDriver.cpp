// The application as a person uses it, without a display: the real application object and its
// screens, started the way corvantis-vpn starts, with the person's actions read from standard
// input, one a line, and what the person would see written to standard output, one a line.
//
//   sign-in EMAIL PASSWORD   types both into the login screen and presses Return
//   kill-switch | shield     opens the settings from the connect screen, clicks the box, goes back
//   connect                  clicks the connect button
//   quit                     quits as the status item's menu does, and confirms
//
// It writes "connect screen" once the connect screen shows, "state connected|connecting|
// disconnected" whenever the connection state changes, and "kill-switch on|off" or "shield
// on|off" after each click, as the box then shows. The end of the input quits. The bundle is the
// folder of this program: placed beside an installed corvantis-vpn, it is that installation's.

#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/LoginView.hpp"
#include "app/MainWindow.hpp"
#include "app/SettingsView.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/render/DrawingSetup.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"

#include <csignal>
#include <iostream>
#include <sstream>
#include <thread>

using corvantis::ConnectionState;
using corvantis::MainWindow;
using namespace std::chrono_literals;

namespace {

void say(const std::string& line) {
    std::cout << line << std::endl;
}

std::string describe(ConnectionState state) {
    switch (state) {
        case ConnectionState::connected: return "connected";
        case ConnectionState::connecting: return "connecting";
        case ConnectionState::disconnected: return "disconnected";
    }
    return "?";
}

std::shared_ptr<platform::ui::Button> connectScreenSettingsButton() {
    for (const auto& candidate : MainWindow::shared().connectView->subviews()) {
        auto button = std::dynamic_pointer_cast<platform::ui::Button>(candidate);
        if (button && button->action() == "btnSettingsClick:") return button;
    }
    return nullptr;
}

// A check box of the settings screen, reached and left as a person does.
void clickSettingsBox(const std::string& name) {
    auto& main = MainWindow::shared();
    const auto settings = connectScreenSettingsButton();
    if (!settings) return say("no settings button on the connect screen");
    settings->click();
    const auto& box = name == "kill-switch" ? main.settingsView->chkKillSwitch : main.settingsView->chkProtectionSwitch;
    if (!box->isEnabled()) say(name + " is disabled");
    box->click();
    say(name + (box->state() == platform::ui::ControlStateValue::on ? " on" : " off"));
    main.settingsView->btnBack->click();
}

void perform(const std::string& line) {
    std::istringstream words(line);
    std::string action;
    words >> action;
    auto& main = MainWindow::shared();
    if (!main.connectView) return say("the screens are not built yet");
    if (action == "sign-in") {
        std::string email, password;
        words >> email >> password;
        main.show();
        main.loginView->txtUsername->type(email + "\t" + password + "\r");
    } else if (action == "kill-switch" || action == "shield") {
        clickSettingsBox(action);
    } else if (action == "connect") {
        main.connectView->btnConnect->click();
    } else if (action == "quit") {
        corvantis::AppDelegate::shared()->quit();
        for (const auto& alert : platform::ui::Alert::pendingAlerts()) alert->answer("Quit");
    } else {
        say("unknown action \"" + action + "\"");
    }
}

// What the person sees change: the screen after signing in, the connection's state.
void watchTheScreens() {
    auto shown = std::make_shared<bool>(false);
    auto state = std::make_shared<std::optional<ConnectionState>>();
    platform::dispatch::Timer::scheduledTimer(100ms, true, [shown, state](platform::dispatch::Timer&) {
        auto& main = MainWindow::shared();
        if (!main.connectView || !main.loginView) return;
        const bool connectScreen = !main.connectView->isHidden() && main.loginView->alphaValue() == 0;
        if (connectScreen && !*shown) say("connect screen");
        *shown = connectScreen;
        if (*state != main.connectView->connectionState) say("state " + describe(main.connectView->connectionState));
        *state = main.connectView->connectionState;
    });
}

}  // namespace

int main() {
    platform::installApplicationServices();
    std::signal(SIGPIPE, SIG_IGN);
    platform::render::DrawingSetup::install(1.0);
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    platform::ui::Application::shared().setDelegate(delegate);
    const auto mainQueue = platform::Services::current().mainQueue();
    mainQueue->async(watchTheScreens);
    std::thread([mainQueue] {
        for (std::string line; std::getline(std::cin, line);) mainQueue->async([line] { perform(line); });
        mainQueue->async([] { platform::ui::Application::shared().terminate(); });
    }).detach();
    return platform::ui::applicationMain();
}
