#pragma once

#include "HelperService/CorvantisHelper/RouteTable.hpp"
#include "platform/foundation/Expected.hpp"

#include <memory>
#include <string>

namespace corvantis::helper {

// Answers the application's gateway query from the kernel's IPv4 route table: the gateway of
// the default route (the one with the lowest metric) and a line break, as the macOS query
// prints it. When that route runs through a tunnel device the answer is the device's name, which
// the application recognises as unusable; without a default route through a gateway it is empty.
class DefaultGatewayQuery {
public:
    explicit DefaultGatewayQuery(std::shared_ptr<RouteTable> routes);

    platform::foundation::Expected<std::string> answer() const;

private:
    std::shared_ptr<RouteTable> routes_;
};

}  // namespace corvantis::helper
