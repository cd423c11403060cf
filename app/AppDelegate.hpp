#pragma once

#include "PRQLogger/PRQLogger.hpp"
#include "app/City.hpp"
#include "app/Server.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis {

// The application's delegate: it starts the application and holds what the whole application
// shares. Main queue only.
//
// The route control behind the kill switch and the Shield lives here too; the connection
// control supplies it.
class AppDelegate : public std::enable_shared_from_this<AppDelegate> {
public:
    virtual ~AppDelegate() = default;

    // The application's delegate; empty until the application has set one.
    static std::shared_ptr<AppDelegate> shared();
    static void setShared(std::shared_ptr<AppDelegate> delegate);

    // Takes the default route away (host routes keep the VPN server and the name servers
    // reachable). Returns at once; `completion` gets true once the helper has done it, and is
    // never called when no gateway is known.
    virtual void removeDefaultRoute(std::function<void(bool)> completion) = 0;
    // Puts the default route back through the known gateway. Returns at once.
    virtual void restoreDefaultRoute() = 0;

    // Asks the helper for the computer's physical default gateway and keeps it in `gateway` and,
    // when usable (not a tunnel's), in the user default "gateway". Returns at once; without a
    // helper there is no one to ask.
    void getGateway();

    // Rebuilds `allCities` from the profile's country groups: one city per city of each group,
    // named "<country> - <city>" with the short name "<code> - <city>", favourite when the user
    // defaults hold a text under its domain, sorted by name. Starts a gateway lookup first.
    void initServers(const std::vector<std::shared_ptr<Server>>& serversArray);

    // The application's logger: the default logger, which the delegate sets up at launch.
    std::shared_ptr<prq::PRQLogger> logger = prq::PRQLogger::defaultLogger();

    // The physical default gateway's address; none while no usable one is known.
    std::optional<std::string> gateway;

    // The flat city list built from the profile's country groups, sorted by name; none before
    // the first profile has been loaded.
    std::optional<std::vector<std::shared_ptr<City>>> allCities;

private:
    void takeGateway(std::optional<std::string> reply);
};

}  // namespace corvantis
