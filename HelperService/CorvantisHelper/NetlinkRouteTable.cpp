#include "HelperService/CorvantisHelper/NetlinkRouteTable.hpp"

#include <libmnl/libmnl.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <memory>
#include <net/if.h>
#include <string_view>
#include <sys/socket.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

// Large enough for any answer the kernel sends at once (its own limit is 32 KiB).
constexpr std::size_t bufferSize = 32768;
// Every request here is a header and a few attributes.
constexpr std::size_t requestSize = 512;

struct SocketCloser {
    void operator()(mnl_socket* socket) const { mnl_socket_close(socket); }
};
using Socket = std::unique_ptr<mnl_socket, SocketCloser>;

Expected<Socket> openSocket() {
    Socket socket(mnl_socket_open2(NETLINK_ROUTE, SOCK_CLOEXEC));
    if (!socket) return Error::fromErrno("Cannot open a netlink socket");
    // Ask for the kernel's own explanation of a refusal, and for acks without a copy of the
    // request; kernels that cannot do either still answer with the error number.
    const int on = 1;
    mnl_socket_setsockopt(socket.get(), NETLINK_EXT_ACK, const_cast<int*>(&on), sizeof on);
    mnl_socket_setsockopt(socket.get(), NETLINK_CAP_ACK, const_cast<int*>(&on), sizeof on);
    if (mnl_socket_bind(socket.get(), 0, MNL_SOCKET_AUTOPID) < 0) return Error::fromErrno("Cannot bind a netlink socket");
    return socket;
}

Expected<void> sendRequest(const Socket& socket, const nlmsghdr* request) {
    if (mnl_socket_sendto(socket.get(), request, request->nlmsg_len) < 0) {
        return Error::fromErrno("Cannot send to the kernel's route table");
    }
    return {};
}

int takeMessageAttribute(const nlattr* attribute, void* data) {
    if (mnl_attr_get_type(attribute) == NLMSGERR_ATTR_MSG && mnl_attr_validate(attribute, MNL_TYPE_NUL_STRING) >= 0) {
        *static_cast<std::string*>(data) = mnl_attr_get_str(attribute);
    }
    return MNL_CB_OK;
}

// The outcome an acknowledgement carries, worded as `ip` words it: the kernel's explanation
// when it gives one, else the error number's text.
Expected<void> outcomeOf(const nlmsghdr* acknowledgement) {
    if (acknowledgement->nlmsg_len < mnl_nlmsg_size(sizeof(nlmsgerr))) {
        return Error{EBADMSG, "RTNETLINK answers: the kernel's answer was cut short"};
    }
    const auto* error = static_cast<const nlmsgerr*>(mnl_nlmsg_get_payload(acknowledgement));
    if (error->error == 0) return {};
    const int code = -error->error;
    std::string explanation;
    if (acknowledgement->nlmsg_flags & NLM_F_ACK_TLVS) {
        std::size_t offset = sizeof(nlmsgerr);
        if (!(acknowledgement->nlmsg_flags & NLM_F_CAPPED)) offset += error->msg.nlmsg_len - sizeof(nlmsghdr);
        if (mnl_nlmsg_size(offset) <= acknowledgement->nlmsg_len) {
            mnl_attr_parse(acknowledgement, static_cast<unsigned>(offset), takeMessageAttribute, &explanation);
        }
    }
    if (explanation.empty()) return Error{code, std::string("RTNETLINK answers: ") + std::strerror(code)};
    return Error{code, "Error: " + explanation + (explanation.ends_with('.') ? "" : ".")};
}

// Sends a change and waits for its acknowledgement.
Expected<void> change(const nlmsghdr* request) {
    auto socket = openSocket();
    if (!socket) return socket.error();
    if (auto sent = sendRequest(socket.value(), request); !sent) return sent;
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const auto received = mnl_socket_recvfrom(socket.value().get(), buffer.get(), bufferSize);
        if (received < 0) return Error::fromErrno("Cannot read the kernel's answer");
        int remaining = static_cast<int>(received);
        for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.get()); mnl_nlmsg_ok(message, remaining);
             message = mnl_nlmsg_next(message, &remaining)) {
            if (message->nlmsg_type == NLMSG_ERROR && message->nlmsg_seq == request->nlmsg_seq) return outcomeOf(message);
        }
    }
}

// Sends a request and hands each answer of the kernel to `take` until the answer is complete.
Expected<void> ask(const nlmsghdr* request, mnl_cb_t take, void* data) {
    auto socket = openSocket();
    if (!socket) return socket.error();
    if (auto sent = sendRequest(socket.value(), request); !sent) return sent;
    const unsigned port = mnl_socket_get_portid(socket.value().get());
    std::unique_ptr<char[]> buffer(new char[bufferSize]);
    for (;;) {
        const auto received = mnl_socket_recvfrom(socket.value().get(), buffer.get(), bufferSize);
        if (received < 0) return Error::fromErrno("Cannot read the kernel's answer");
        const int result = mnl_cb_run(buffer.get(), static_cast<std::size_t>(received), request->nlmsg_seq, port, take, data);
        if (result < 0) return Error{errno, std::string("RTNETLINK answers: ") + std::strerror(errno)};
        if (result == MNL_CB_STOP) return {};
    }
}

// A request's header in `buffer`; each request goes out on a socket of its own, so one sequence
// number serves them all.
nlmsghdr* requestHeader(char* buffer, std::uint16_t type, std::uint16_t flags) {
    nlmsghdr* request = mnl_nlmsg_put_header(buffer);
    request->nlmsg_type = type;
    request->nlmsg_flags = NLM_F_REQUEST | flags;
    request->nlmsg_seq = 1;
    return request;
}

nlmsghdr* routeRequest(char* buffer, std::uint16_t type, std::uint16_t flags, const Ipv4Route& route) {
    nlmsghdr* request = requestHeader(buffer, type, NLM_F_ACK | flags);
    auto* message = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(rtmsg)));
    message->rtm_family = AF_INET;
    message->rtm_dst_len = static_cast<unsigned char>(route.prefixLength);
    message->rtm_table = RT_TABLE_MAIN;
    if (type == RTM_NEWROUTE) {
        message->rtm_protocol = RTPROT_BOOT;
        message->rtm_scope = RT_SCOPE_UNIVERSE;
        message->rtm_type = RTN_UNICAST;
    } else {
        // Whatever its scope, as `ip route del` matches.
        message->rtm_scope = RT_SCOPE_NOWHERE;
    }
    if (route.prefixLength > 0) mnl_attr_put_u32(request, RTA_DST, route.destination.networkOrder());
    mnl_attr_put_u32(request, RTA_GATEWAY, route.gateway.networkOrder());
    return request;
}

struct DefaultRouteDump {
    std::vector<DefaultRoute> routes;
    std::vector<unsigned> devices;
};

// The gateway and device of a multipath route's first next hop.
void takeFirstHop(const nlattr* multipath, DefaultRoute& route, unsigned& device) {
    if (mnl_attr_get_payload_len(multipath) < sizeof(rtnexthop)) return;
    const auto* hop = static_cast<const rtnexthop*>(mnl_attr_get_payload(multipath));
    if (hop->rtnh_len < sizeof(rtnexthop) || hop->rtnh_len > mnl_attr_get_payload_len(multipath)) return;
    device = static_cast<unsigned>(hop->rtnh_ifindex);
    const auto* attributes = reinterpret_cast<const char*>(hop) + RTNH_ALIGN(sizeof(rtnexthop));
    const auto* end = reinterpret_cast<const char*>(hop) + hop->rtnh_len;
    for (auto* attribute = reinterpret_cast<const nlattr*>(attributes);
         mnl_attr_ok(attribute, static_cast<int>(end - reinterpret_cast<const char*>(attribute)));
         attribute = mnl_attr_next(attribute)) {
        if (mnl_attr_get_type(attribute) == RTA_GATEWAY && mnl_attr_get_payload_len(attribute) == 4) {
            route.gateway = Ipv4Address::fromNetworkOrder(mnl_attr_get_u32(attribute));
        }
    }
}

int takeDefaultRoute(const nlmsghdr* message, void* data) {
    if (message->nlmsg_type != RTM_NEWROUTE) return MNL_CB_OK;
    const auto* header = static_cast<const rtmsg*>(mnl_nlmsg_get_payload(message));
    if (header->rtm_family != AF_INET || header->rtm_dst_len != 0 || header->rtm_type != RTN_UNICAST ||
        (header->rtm_flags & RTM_F_CLONED)) {
        return MNL_CB_OK;
    }
    struct Found {
        DefaultRoute route;
        unsigned table;
        unsigned device = 0;
    } found{{}, header->rtm_table};
    found.route.up = !(header->rtm_flags & RTNH_F_DEAD);
    mnl_attr_parse(
        message, sizeof(rtmsg),
        [](const nlattr* attribute, void* into) {
            auto& found = *static_cast<Found*>(into);
            const auto length = mnl_attr_get_payload_len(attribute);
            switch (mnl_attr_get_type(attribute)) {
                case RTA_TABLE:
                    if (length == 4) found.table = mnl_attr_get_u32(attribute);
                    break;
                case RTA_PRIORITY:
                    if (length == 4) found.route.metric = mnl_attr_get_u32(attribute);
                    break;
                case RTA_GATEWAY:
                    if (length == 4) found.route.gateway = Ipv4Address::fromNetworkOrder(mnl_attr_get_u32(attribute));
                    break;
                case RTA_OIF:
                    if (length == 4) found.device = mnl_attr_get_u32(attribute);
                    break;
                case RTA_MULTIPATH: takeFirstHop(attribute, found.route, found.device); break;
                default: break;
            }
            return MNL_CB_OK;
        },
        &found);
    if (found.table != RT_TABLE_MAIN) return MNL_CB_OK;
    auto& dump = *static_cast<DefaultRouteDump*>(data);
    dump.routes.push_back(std::move(found.route));
    dump.devices.push_back(found.device);
    return MNL_CB_OK;
}

struct Link {
    std::string name;
    bool tunnel = false;
};

int takeLinkKind(const nlattr* attribute, void* data) {
    if (mnl_attr_get_type(attribute) == IFLA_INFO_KIND) {
        const auto* kind = static_cast<const char*>(mnl_attr_get_payload(attribute));
        // The kernel's kind of tun and tap devices alike.
        static_cast<Link*>(data)->tunnel = std::string_view(kind, ::strnlen(kind, mnl_attr_get_payload_len(attribute))) == "tun";
    }
    return MNL_CB_OK;
}

int takeLink(const nlmsghdr* message, void* data) {
    if (message->nlmsg_type != RTM_NEWLINK) return MNL_CB_OK;
    mnl_attr_parse(
        message, sizeof(ifinfomsg),
        [](const nlattr* attribute, void* into) {
            auto& link = *static_cast<Link*>(into);
            if (mnl_attr_get_type(attribute) == IFLA_IFNAME && mnl_attr_validate(attribute, MNL_TYPE_NUL_STRING) >= 0) {
                link.name = mnl_attr_get_str(attribute);
            } else if (mnl_attr_get_type(attribute) == IFLA_LINKINFO) {
                mnl_attr_parse_nested(attribute, takeLinkKind, &link);
            }
            return MNL_CB_OK;
        },
        data);
    return MNL_CB_OK;
}

Expected<Link> linkOf(unsigned device) {
    alignas(nlmsghdr) char buffer[requestSize];
    nlmsghdr* request = requestHeader(buffer, RTM_GETLINK, NLM_F_ACK);
    auto* message = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(request, sizeof(ifinfomsg)));
    message->ifi_family = AF_UNSPEC;
    message->ifi_index = static_cast<int>(device);
    Link link;
    if (auto asked = ask(request, takeLink, &link); !asked) return asked.error();
    return link;
}

}  // namespace

Expected<void> NetlinkRouteTable::add(const Ipv4Route& route) {
    alignas(nlmsghdr) char buffer[requestSize];
    return change(routeRequest(buffer, RTM_NEWROUTE, NLM_F_CREATE | NLM_F_EXCL, route));
}

Expected<void> NetlinkRouteTable::remove(const Ipv4Route& route) {
    alignas(nlmsghdr) char buffer[requestSize];
    return change(routeRequest(buffer, RTM_DELROUTE, 0, route));
}

Expected<std::vector<DefaultRoute>> NetlinkRouteTable::defaultRoutes() {
    alignas(nlmsghdr) char buffer[requestSize];
    nlmsghdr* request = requestHeader(buffer, RTM_GETROUTE, NLM_F_DUMP);
    auto* message = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(request, sizeof(rtmsg)));
    message->rtm_family = AF_INET;
    DefaultRouteDump dump;
    if (auto asked = ask(request, takeDefaultRoute, &dump); !asked) return asked.error();
    for (std::size_t index = 0; index < dump.routes.size(); ++index) {
        if (dump.devices[index] == 0) continue;
        auto link = linkOf(dump.devices[index]);
        if (!link) return link.error();
        dump.routes[index].device = link.value().name;
        dump.routes[index].throughTunnel = link.value().tunnel;
    }
    return dump.routes;
}

}  // namespace corvantis::helper
