#include "HelperService/CorvantisHelper/DefaultGatewayQuery.hpp"

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <limits>
#include <net/route.h>
#include <optional>
#include <sstream>

namespace corvantis::helper {

namespace {

struct DefaultRoute {
    std::string device;
    std::uint32_t gateway = 0;
    unsigned flags = 0;
    unsigned long metric = std::numeric_limits<unsigned long>::max();
};

// One line of /proc/net/route: Iface Destination Gateway Flags RefCnt Use Metric Mask ...,
// addresses as hexadecimal numbers in network byte order.
std::optional<DefaultRoute> defaultRouteIn(const std::string& line) {
    std::istringstream fields(line);
    std::string device, destination, gateway, flags, referenceCount, use, metric, mask;
    if (!(fields >> device >> destination >> gateway >> flags >> referenceCount >> use >> metric >> mask)) return std::nullopt;
    try {
        DefaultRoute route{device, static_cast<std::uint32_t>(std::stoul(gateway, nullptr, 16)),
                           static_cast<unsigned>(std::stoul(flags, nullptr, 16)), std::stoul(metric)};
        const bool isDefault = std::stoul(destination, nullptr, 16) == 0 && std::stoul(mask, nullptr, 16) == 0;
        if (!isDefault || (route.flags & RTF_UP) == 0) return std::nullopt;
        return route;
    } catch (const std::exception&) {
        return std::nullopt;  // the header line
    }
}

}  // namespace

DefaultGatewayQuery::DefaultGatewayQuery(std::filesystem::path routeTable, std::filesystem::path networkDevices)
    : routeTable_(std::move(routeTable)), networkDevices_(std::move(networkDevices)) {}

platform::foundation::Expected<std::string> DefaultGatewayQuery::answer() const {
    auto table = platform::foundation::FileSystem::readFile(routeTable_);
    if (!table) return table.error();
    std::optional<DefaultRoute> chosen;
    std::istringstream lines(table.value());
    for (std::string line; std::getline(lines, line);) {
        auto route = defaultRouteIn(line);
        if (route && (!chosen || route->metric < chosen->metric)) chosen = route;
    }
    if (!chosen) return std::string();
    if (isTunnelDevice(chosen->device)) return chosen->device + "\n";
    if ((chosen->flags & RTF_GATEWAY) == 0) return std::string();
    return Ipv4Address::fromNetworkOrder(chosen->gateway).text() + "\n";
}

bool DefaultGatewayQuery::isTunnelDevice(const std::string& name) const {
    // Only tun and tap devices have this attribute.
    return platform::foundation::FileSystem::fileExists(networkDevices_ / name / "tun_flags");
}

}  // namespace corvantis::helper
