#pragma once

#include "HelperService/CorvantisHelper/RouteTable.hpp"

namespace corvantis::helper {

// The kernel's route table through rtnetlink, in-process: each call opens its own netlink socket,
// so calls from several threads need no lock. Changes go to the main table as `ip -4 route
// add|del DESTINATION via GATEWAY` makes them.
class NetlinkRouteTable final : public RouteTable {
public:
    platform::foundation::Expected<void> add(const Ipv4Route& route) override;
    platform::foundation::Expected<void> remove(const Ipv4Route& route) override;
    platform::foundation::Expected<std::vector<DefaultRoute>> defaultRoutes() override;
};

}  // namespace corvantis::helper
