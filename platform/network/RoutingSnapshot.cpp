#include "platform/network/RoutingSnapshot.hpp"

#include "platform/network/NetlinkSocket.hpp"

#include <arpa/inet.h>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <net/if.h>

namespace platform::network {

using foundation::Expected;

namespace {

// The widest prefix that still counts as covering the internet as a whole.
constexpr int internetPrefixLength = 1;

std::uint32_t hostOrder(const rtattr& attribute) {
    std::uint32_t value = 0;
    std::memcpy(&value, RTA_DATA(&attribute), sizeof value);
    return ntohl(value);
}

std::uint32_t numberOf(const rtattr& attribute) {
    std::uint32_t value = 0;
    std::memcpy(&value, RTA_DATA(&attribute), sizeof value);
    return value;
}

// Addresses, interface indexes, metrics and table numbers are all 32-bit words.
bool holdsWord(const rtattr& attribute) {
    return RTA_PAYLOAD(&attribute) >= sizeof(std::uint32_t);
}

// Calls `visit` with each attribute that follows the fixed header of `size` bytes.
template <class Visit>
void forEachAttribute(const nlmsghdr& message, std::size_t size, Visit visit) {
    if (message.nlmsg_len < NLMSG_LENGTH(size)) return;
    int length = static_cast<int>(message.nlmsg_len - NLMSG_LENGTH(size));
    const auto* attribute = reinterpret_cast<const rtattr*>(static_cast<const char*>(NLMSG_DATA(&message)) + NLMSG_ALIGN(size));
    for (; RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) visit(*attribute);
}

RoutingSnapshot::Link parseLink(const nlmsghdr& message) {
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(&message));
    RoutingSnapshot::Link link{info->ifi_index, {}, info->ifi_flags};
    forEachAttribute(message, sizeof(ifinfomsg), [&](const rtattr& attribute) {
        if (attribute.rta_type == IFLA_IFNAME)
            link.name.assign(static_cast<const char*>(RTA_DATA(&attribute)),
                             ::strnlen(static_cast<const char*>(RTA_DATA(&attribute)), RTA_PAYLOAD(&attribute)));
    });
    return link;
}

std::optional<RoutingSnapshot::Address> parseAddress(const nlmsghdr& message) {
    const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(&message));
    if (info->ifa_family != AF_INET) return std::nullopt;
    std::optional<std::uint32_t> local;
    std::optional<std::uint32_t> address;
    forEachAttribute(message, sizeof(ifaddrmsg), [&](const rtattr& attribute) {
        if (!holdsWord(attribute)) return;
        if (attribute.rta_type == IFA_LOCAL) local = hostOrder(attribute);
        if (attribute.rta_type == IFA_ADDRESS) address = hostOrder(attribute);
    });
    // On a point-to-point link IFA_ADDRESS is the peer's; IFA_LOCAL is always our own.
    const auto own = local ? local : address;
    if (!own) return std::nullopt;
    return RoutingSnapshot::Address{static_cast<int>(info->ifa_index), *own};
}

// A route with several next hops leaves by its first.
void takeFirstHop(const rtattr& multipath, RoutingSnapshot::Route& route) {
    if (RTA_PAYLOAD(&multipath) < sizeof(rtnexthop)) return;
    const auto* hop = static_cast<const rtnexthop*>(RTA_DATA(&multipath));
    if (hop->rtnh_len < sizeof(rtnexthop) || hop->rtnh_len > RTA_PAYLOAD(&multipath)) return;
    route.outputLink = hop->rtnh_ifindex;
    int length = static_cast<int>(hop->rtnh_len - RTNH_ALIGN(sizeof(rtnexthop)));
    for (const auto* attribute = RTNH_DATA(hop); RTA_OK(attribute, length); attribute = RTA_NEXT(attribute, length)) {
        if (attribute->rta_type == RTA_GATEWAY && holdsWord(*attribute)) route.gateway = hostOrder(*attribute);
    }
}

std::optional<RoutingSnapshot::Route> parseRoute(const nlmsghdr& message) {
    const auto* info = static_cast<const rtmsg*>(NLMSG_DATA(&message));
    if (info->rtm_family != AF_INET || info->rtm_type != RTN_UNICAST) return std::nullopt;
    RoutingSnapshot::Route route;
    route.prefixLength = info->rtm_dst_len;
    std::uint32_t table = info->rtm_table;
    forEachAttribute(message, sizeof(rtmsg), [&](const rtattr& attribute) {
        switch (attribute.rta_type) {
            case RTA_DST:
                if (holdsWord(attribute)) route.destination = hostOrder(attribute);
                break;
            case RTA_GATEWAY:
                if (holdsWord(attribute)) route.gateway = hostOrder(attribute);
                break;
            case RTA_OIF:
                if (holdsWord(attribute)) route.outputLink = static_cast<int>(numberOf(attribute));
                break;
            case RTA_PRIORITY:
                if (holdsWord(attribute)) route.metric = numberOf(attribute);
                break;
            case RTA_TABLE:
                if (holdsWord(attribute)) table = numberOf(attribute);
                break;
            case RTA_MULTIPATH: takeFirstHop(attribute, route); break;
            default: break;
        }
    });
    if (table != RT_TABLE_MAIN) return std::nullopt;
    return route;
}

bool covers(const RoutingSnapshot::Route& route, std::uint32_t address) {
    if (route.prefixLength <= 0) return true;
    const std::uint32_t mask = route.prefixLength >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> route.prefixLength);
    return (route.destination & mask) == (address & mask);
}

}  // namespace

RoutingSnapshot::RoutingSnapshot(std::vector<Link> links, std::vector<Address> addresses, std::vector<Route> routes)
    : links_(std::move(links)), addresses_(std::move(addresses)), routes_(std::move(routes)) {}

Expected<RoutingSnapshot> RoutingSnapshot::read(NetlinkSocket& socket) {
    std::vector<Link> links;
    std::vector<Address> addresses;
    std::vector<Route> routes;
    if (auto listed = socket.dump(RTM_GETLINK, AF_UNSPEC,
                                  [&](const nlmsghdr& message) {
                                      if (message.nlmsg_type == RTM_NEWLINK) links.push_back(parseLink(message));
                                  });
        !listed) {
        return listed.error();
    }
    if (auto listed = socket.dump(RTM_GETADDR, AF_INET,
                                  [&](const nlmsghdr& message) {
                                      if (message.nlmsg_type != RTM_NEWADDR) return;
                                      if (auto address = parseAddress(message)) addresses.push_back(*address);
                                  });
        !listed) {
        return listed.error();
    }
    if (auto listed = socket.dump(RTM_GETROUTE, AF_INET,
                                  [&](const nlmsghdr& message) {
                                      if (message.nlmsg_type != RTM_NEWROUTE) return;
                                      if (auto route = parseRoute(message)) routes.push_back(*route);
                                  });
        !listed) {
        return listed.error();
    }
    return RoutingSnapshot(std::move(links), std::move(addresses), std::move(routes));
}

std::string RoutingSnapshot::linkName(int index) const {
    const auto* found = link(index);
    return found ? found->name : std::string();
}

const RoutingSnapshot::Link* RoutingSnapshot::link(int index) const {
    for (const auto& candidate : links_) {
        if (candidate.index == index) return &candidate;
    }
    return nullptr;
}

bool RoutingSnapshot::isUsable(const Route& route) const {
    const auto* output = link(route.outputLink);
    return output != nullptr && (output->flags & IFF_UP) != 0 && (output->flags & IFF_RUNNING) != 0;
}

NetworkPath RoutingSnapshot::pathTo(const ReachabilityTarget& target) const {
    if (target.address) {
        for (const auto& own : addresses_) {
            if (own.address != *target.address) continue;
            const auto* holder = link(own.linkIndex);
            return {kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                        kSCNetworkReachabilityFlagsIsDirect,
                    holder != nullptr ? holder->name : std::string()};
        }
    }
    const Route* best = nullptr;
    for (const auto& route : routes_) {
        const bool relevant = target.address ? covers(route, *target.address) : route.prefixLength <= internetPrefixLength;
        if (!relevant || !isUsable(route)) continue;
        if (best == nullptr || route.prefixLength > best->prefixLength ||
            (route.prefixLength == best->prefixLength && route.metric < best->metric)) {
            best = &route;
        }
    }
    if (best == nullptr) return {};
    const auto* output = link(best->outputLink);
    SCNetworkReachabilityFlags flags = kSCNetworkReachabilityFlagsReachable;
    if (!best->gateway) flags |= kSCNetworkReachabilityFlagsIsDirect;
    if ((output->flags & IFF_POINTOPOINT) != 0) flags |= kSCNetworkReachabilityFlagsTransientConnection;
    return {flags, output->name};
}

}  // namespace platform::network
