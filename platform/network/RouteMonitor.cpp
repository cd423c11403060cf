#include "platform/network/RouteMonitor.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <cstdint>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform::network {

using foundation::Error;
using foundation::Expected;

Expected<std::unique_ptr<RouteMonitor>> RouteMonitor::start(std::function<void()> changed) {
    auto socket = NetlinkSocket::open(RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE);
    if (!socket) return socket.error();
    foundation::FileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.isOpen()) return Error::fromErrno("Cannot make the route monitor's wake-up descriptor");
    std::unique_ptr<RouteMonitor> monitor(new RouteMonitor(std::move(socket.value()), std::move(wake)));
    monitor->thread_ = std::thread([raw = monitor.get(), changed = std::move(changed)] { raw->watch(changed); });
    return monitor;
}

RouteMonitor::RouteMonitor(NetlinkSocket socket, foundation::FileDescriptor wake)
    : socket_(std::move(socket)), wake_(std::move(wake)) {}

RouteMonitor::~RouteMonitor() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    if (thread_.joinable()) thread_.join();
}

void RouteMonitor::watch(const std::function<void()>& changed) {
    dispatch::setCurrentThreadName("route-monitor");
    for (;;) {
        pollfd watched[] = {{socket_.descriptor(), POLLIN, 0}, {wake_.get(), POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) return;
        if (watched[0].revents == 0) continue;
        const auto pending = socket_.discardPending();
        // A socket that can no longer be read hears of nothing again.
        if (!pending) return;
        if (pending.value()) changed();
    }
}

}  // namespace platform::network
