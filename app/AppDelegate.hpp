#pragma once

#include "PRQLogger/PRQLogger.hpp"
#include "app/City.hpp"
#include "app/ConnectionState.hpp"
#include "app/RouteControl.hpp"
#include "app/Server.hpp"
#include "platform/ui/ApplicationDelegate.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ui {
class Storyboard;
}

namespace corvantis {

class CorvantisHelperController;

// The application's delegate: it starts the application and holds what the whole application
// shares. Main queue only.
class AppDelegate : public platform::ui::ApplicationDelegate, public std::enable_shared_from_this<AppDelegate> {
public:
    // The application's delegate; empty until the application has set one.
    static std::shared_ptr<AppDelegate> shared();
    static void setShared(std::shared_ptr<AppDelegate> delegate);

    // Start-up, first stage: greets, starts crash reporting, opens this run's log file and sets
    // up the logger, then asks for the device id (`appInit`).
    void applicationDidFinishLaunching() override;
    // Nothing is left to do when the application ends.
    void applicationWillTerminate() override {}
    // Start-up, second stage, once the backend has answered with the device id (or failed):
    // installs the helper, ends leftover tunnels, runs the down script, switches IPv6 back on and
    // builds the popup. A helper that cannot be installed or a missing resource ends start-up
    // with an alert that offers the support site.
    void appInit();
    // Installs or confirms the helper through a new helper client, which becomes
    // `HelperService::shared()` either way. Throws the installer's `DomainError` on failure.
    void installHelperTool();
    // Updates are not looked for.
    void checkForUpdates() {}

    // The connect screen's state, with a breadcrumb.
    ConnectionState connectionState() const;
    // Whether the connect screen last found the internet reachable, with a breadcrumb.
    bool internetActive() const;
    // Opens the popup again as a click on the status item would.
    void showMainWindow();

    // True once the helper was installed or confirmed; the popup clears it.
    bool helperJustInstalled = false;

    // Route control of the kill switch and the Shield. Every value that goes into a command for
    // root must be an IPv4 address; a command that cannot be formed so is not sent.
    //
    // Takes the default route away, keeping the VPN server and the name servers reachable
    // through host routes via the gateway, and installs the guard. `completion` gets true once
    // the helper has answered. With no gateway known yet, this waits for the gateway lookup and
    // is done once the gateway is known, unless the route was restored meanwhile.
    void removeDefaultRoute(std::function<void(bool)> completion);
    // Puts the default route back through the known gateway, else the stored one; with neither,
    // has the helper check the resolver file and looks for the gateway again 2 s later.
    void restoreDefaultRoute();
    // Host routes via the gateway to the chosen server and to every name server. `completion`
    // gets true once the name servers have been handled, also when no route could be formed.
    void addSavedServerToRoute(std::function<void(bool)> completion);
    // Takes the chosen server's host route away again.
    void removeSavedServerFromRoute();
    // Whether the Shield keeps the default route away while no tunnel is up: only together with
    // the kill switch. Its stored value alone decides nothing.
    static bool isShieldInForce();

    // The helper client once the helper is installed: the same object as `HelperService::shared()`.
    std::shared_ptr<CorvantisHelperController> helper;

    // Asks the helper for the computer's physical default gateway and keeps it in `gateway` and,
    // when usable (not a tunnel's), in the user default "gateway". Returns at once; without a
    // helper there is no one to ask.
    void getGateway();

    // Rebuilds `allCities` from the profile's country groups: one city per city of each group,
    // named "<country> - <city>" with the short name "<code> - <city>", favourite when the user
    // defaults hold a text under its domain, sorted by name. Starts a gateway lookup first. Takes
    // the groups' city records over: the groups are left without them.
    void initServers(std::vector<std::shared_ptr<Server>>&& serversArray);

    // Has the helper run the bundle's down script as root ("sh" with the quoted path); the
    // outcome is not reported.
    void runDownScript();

    // Asks the user with a warning sheet on the popup's window. `completion` gets true when the
    // first button answered, after the popup was opened again; with no popup window nothing is
    // shown and `completion` never runs.
    void alert(const std::string& messageText, const std::string& informativeText, const std::string& firstButtonText,
               std::optional<std::string> secondButtonText, std::function<void(bool)> completion);
    // Ends the application: at once on the login screen, otherwise after the user confirms, with
    // the default route restored and the helper's tunnels ended.
    void quit();

    // The application's logger: the default logger, which the delegate sets up at launch.
    std::shared_ptr<prq::PRQLogger> logger = prq::PRQLogger::defaultLogger();

    // The physical default gateway's address; none while no usable one is known.
    std::optional<std::string> gateway;

    // The tunnel's gateway as the helper last reported it for an OpenVPN connection.
    std::optional<std::string> openVpnGateway;

    // The flat city list built from the profile's country groups, sorted by name; none before
    // the first profile has been loaded.
    std::optional<std::vector<std::shared_ptr<City>>> allCities;

private:
    void startCrashReporting();
    void openLogFile();
    void continueLaunch(const std::string& deviceId);
    // What is missing of the storyboard's scenes and the bundle's resources; empty when nothing.
    std::string missingResources(const std::shared_ptr<platform::ui::Storyboard>& storyboard) const;
    // Ends start-up: the reason goes to the log file, standard error and the alert.
    void stopLaunch(const std::string& deviceId, const std::string& reason) const;
    // Tells the user that start-up cannot go on, and why, and offers the support site.
    void showLaunchFailure(const std::string& deviceId, const std::string& reason) const;
    void takeGateway(std::optional<std::string> reply);
    // A usable gateway is known now: a waiting engage goes through it.
    void gatewayFound();
    // The engage's commands through a known gateway.
    void engageThrough(const helper::Ipv4Address& knownGateway, std::function<void(bool)> completion);
    // Has the helper check the resolver file and looks for the gateway again 2 s later, unless a
    // lookup is due already.
    void lookForGatewayLater();
    // The address of the chosen server (the city whose domain is the saved hostname).
    std::optional<std::string> savedServerAddress() const;
    // An Info line under the name of the route operation that writes it.
    void info(const std::string& message, std::string_view function,
              std::source_location where = std::source_location::current());

    // A gateway lookup is scheduled: main queue only.
    bool gatewayLookupDue_ = false;
    // What the kill switch and the Shield ask of the default route; it sends through this
    // delegate, which owns it.
    RouteControl routeControl_{[this](const helper::Ipv4Address& knownGateway, RouteControl::Completion completion) {
        engageThrough(knownGateway, std::move(completion));
    }};
};

}  // namespace corvantis
