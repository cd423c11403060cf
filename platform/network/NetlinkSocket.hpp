#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <cstdint>
#include <functional>
#include <linux/netlink.h>

namespace platform::network {

// A route netlink socket of the kernel: asks for its tables, or hears of their changes.
class NetlinkSocket {
public:
    // One message of the kernel, with its payload.
    using MessageHandler = std::function<void(const nlmsghdr& message)>;

    // `groups`: the multicast groups to hear changes from (RTMGRP_…); 0 for none.
    static foundation::Expected<NetlinkSocket> open(std::uint32_t groups = 0);

    int descriptor() const { return socket_.get(); }

    // Asks for every entry of one table (RTM_GETLINK, RTM_GETADDR or RTM_GETROUTE of `family`)
    // and hands each message of the answer to `handler`.
    foundation::Expected<void> dump(std::uint16_t type, std::uint8_t family, const MessageHandler& handler);

    // Reads every message waiting now, without blocking, and throws them away; true when there
    // was at least one, or when the kernel dropped some because the socket was full.
    foundation::Expected<bool> discardPending();

private:
    explicit NetlinkSocket(foundation::FileDescriptor socket) : socket_(std::move(socket)) {}

    foundation::FileDescriptor socket_;
    std::uint32_t sequence_ = 0;
};

}  // namespace platform::network
