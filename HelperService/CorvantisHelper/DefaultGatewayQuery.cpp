#include "HelperService/CorvantisHelper/DefaultGatewayQuery.hpp"

namespace corvantis::helper {

DefaultGatewayQuery::DefaultGatewayQuery(std::shared_ptr<RouteTable> routes) : routes_(std::move(routes)) {}

platform::foundation::Expected<std::string> DefaultGatewayQuery::answer() const {
    auto routes = routes_->defaultRoutes();
    if (!routes) return routes.error();
    const DefaultRoute* chosen = nullptr;
    for (const auto& route : routes.value()) {
        if (route.up && (!chosen || route.metric < chosen->metric)) chosen = &route;
    }
    if (!chosen) return std::string();
    if (chosen->throughTunnel) return chosen->device + "\n";
    if (!chosen->gateway) return std::string();
    return chosen->gateway->text() + "\n";
}

}  // namespace corvantis::helper
