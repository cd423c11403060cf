#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <functional>
#include <memory>
#include <thread>

namespace corvantis::helper {

// Hears, on a thread of its own, of every change to the firewall's nftables rules in the calling
// thread's network namespace (the kernel's nftables netlink events): a reload or a flush of the
// ruleset, a table deleted or changed by any program. Changes come in transactions of many
// messages: `changed` runs once for everything waiting when the thread wakes.
class NftablesWatch {
public:
    static platform::foundation::Expected<std::unique_ptr<NftablesWatch>> start(std::function<void()> changed);

    // Stops the thread and waits for it; never call it from `changed`.
    ~NftablesWatch();
    NftablesWatch(const NftablesWatch&) = delete;
    NftablesWatch& operator=(const NftablesWatch&) = delete;

private:
    NftablesWatch(platform::foundation::FileDescriptor socket, platform::foundation::FileDescriptor wake);
    void watch(const std::function<void()>& changed);

    platform::foundation::FileDescriptor socket_;
    platform::foundation::FileDescriptor wake_;
    std::thread thread_;
};

}  // namespace corvantis::helper
