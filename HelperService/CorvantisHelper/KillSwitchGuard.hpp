#pragma once

#include "HelperService/CorvantisHelper/CommandReply.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "HelperService/CorvantisHelper/ProcessRelay.hpp"

#include <mutex>

namespace corvantis::helper {

// Installs the kill-switch guard: the physical gateway in the guard's key file, the guard
// script and its systemd unit copied from the application bundle, and the unit enabled and
// started. Each step runs only when the one before it succeeded.
class KillSwitchGuard {
public:
    static constexpr const char* unitName = "com.corvantis.CorvantisGuard.service";
    static constexpr const char* scriptName = "corvantis_guard.sh";

    KillSwitchGuard(const HelperConfiguration& configuration, const ProcessRelay& relay);

    // Failures are replied as text; true when every step succeeded.
    bool install(const Ipv4Address& gateway, CommandReply& reply);

private:
    bool copyFromBundle(const std::string& name, const std::filesystem::path& destination, mode_t mode,
                        CommandReply& reply) const;

    const std::filesystem::path bundleResources_;
    const GuardPaths paths_;
    const std::filesystem::path systemctl_;
    const ProcessRelay& relay_;
    // Two installs at once would race on the same files.
    std::mutex mutex_;
};

}  // namespace corvantis::helper
