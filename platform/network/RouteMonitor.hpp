#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/network/NetlinkSocket.hpp"

#include <functional>
#include <memory>
#include <thread>

namespace platform::network {

// Hears of changes to the kernel's interfaces, IPv4 addresses and IPv4 routes on a thread of
// its own. Changes come in bursts (a device going away takes its addresses and routes along), so
// `changed` runs once for everything that is waiting when the thread wakes.
class RouteMonitor {
public:
    // Watches the network namespace of the calling thread.
    static foundation::Expected<std::unique_ptr<RouteMonitor>> start(std::function<void()> changed);

    // Stops the thread and waits for it; never call it from `changed`.
    ~RouteMonitor();
    RouteMonitor(const RouteMonitor&) = delete;
    RouteMonitor& operator=(const RouteMonitor&) = delete;

private:
    RouteMonitor(NetlinkSocket socket, foundation::FileDescriptor wake);
    void watch(const std::function<void()>& changed);

    NetlinkSocket socket_;
    foundation::FileDescriptor wake_;
    std::thread thread_;
};

}  // namespace platform::network
