#include "platform/network/NetlinkSocket.hpp"

#include <array>
#include <cstring>
#include <linux/if_addr.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <vector>

namespace platform::network {

using foundation::Error;
using foundation::Expected;

namespace {

constexpr std::size_t receiveBufferSize = 64 * 1024;

// The fixed header that follows the netlink header of a dump request of `type`.
std::size_t requestHeaderSize(std::uint16_t type) {
    switch (type) {
        case RTM_GETLINK: return sizeof(ifinfomsg);
        case RTM_GETADDR: return sizeof(ifaddrmsg);
        default: return sizeof(rtmsg);
    }
}

}  // namespace

Expected<NetlinkSocket> NetlinkSocket::open(std::uint32_t groups) {
    foundation::FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!socket.isOpen()) return Error::fromErrno("Cannot open a route netlink socket");
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        return Error::fromErrno("Cannot bind the route netlink socket");
    }
    return NetlinkSocket(std::move(socket));
}

Expected<void> NetlinkSocket::dump(std::uint16_t type, std::uint8_t family, const MessageHandler& handler) {
    // Every request header begins with the address family, so only that field needs setting.
    std::vector<char> request(NLMSG_LENGTH(requestHeaderSize(type)), 0);
    auto* header = reinterpret_cast<nlmsghdr*>(request.data());
    header->nlmsg_len = static_cast<std::uint32_t>(request.size());
    header->nlmsg_type = type;
    header->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header->nlmsg_seq = ++sequence_;
    *static_cast<unsigned char*>(NLMSG_DATA(header)) = family;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket_.get(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) <
        0) {
        return Error::fromErrno("Cannot ask the kernel for its routing tables");
    }
    std::vector<char> buffer(receiveBufferSize);
    for (;;) {
        const ssize_t received = ::recv(socket_.get(), buffer.data(), buffer.size(), 0);
        if (received < 0) {
            if (errno == EINTR) continue;
            return Error::fromErrno("Cannot read the kernel's routing tables");
        }
        auto remaining = static_cast<unsigned int>(received);
        for (auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data()); NLMSG_OK(message, remaining);
             message = NLMSG_NEXT(message, remaining)) {
            if (message->nlmsg_seq != sequence_) continue;
            if (message->nlmsg_type == NLMSG_DONE) return {};
            if (message->nlmsg_type == NLMSG_ERROR) {
                const auto* failure = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
                return Error{-failure->error,
                             std::string("The kernel refused to list its routing tables: ") + std::strerror(-failure->error)};
            }
            handler(*message);
        }
    }
}

Expected<bool> NetlinkSocket::discardPending() {
    std::array<char, receiveBufferSize> buffer{};
    bool any = false;
    for (;;) {
        const ssize_t received = ::recv(socket_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received > 0) {
            any = true;
            continue;
        }
        if (received < 0 && errno == EINTR) continue;
        if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return any;
        // Changes were lost because the socket overflowed: whatever they were, look again.
        if (received < 0 && errno == ENOBUFS) {
            any = true;
            continue;
        }
        if (received == 0) return any;
        return Error::fromErrno("Cannot read the kernel's change messages");
    }
}

}  // namespace platform::network
