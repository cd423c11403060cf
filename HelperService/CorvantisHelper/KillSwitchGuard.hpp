#pragma once

#include "HelperService/CorvantisHelper/CommandReply.hpp"
#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/ProcessRelay.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <mutex>
#include <optional>
#include <string>

namespace corvantis::helper {

// Installs the kill-switch guard and releases it again. Engaging writes the key file (the
// physical gateway, engaged), the guard's script and systemd unit as this program makes them
// (never from the application's bundle, which its user may change, since they run as root),
// and (re)starts the unit; releasing marks the key file released and restarts the guard, which
// then lets traffic through while staying installed. Each step runs only when the one before it
// succeeded. The key file and the guard's files outlive a reboot: they are written (and flushed)
// only when their content changes.
class KillSwitchGuard {
public:
    static constexpr const char* unitName = "com.corvantis.CorvantisGuard.service";

    KillSwitchGuard(const HelperConfiguration& configuration, const ProcessRelay& relay);

    // Failures are replied as text; true when every step succeeded.
    bool install(const Ipv4Address& gateway, CommandReply& reply);
    // Does nothing when the guard was never engaged.
    void release(CommandReply& reply);
    // What the files hold, for the program and key file given.
    static std::string scriptText(const std::filesystem::path& program, const GuardPaths& paths, const std::filesystem::path& nft,
                                  const std::filesystem::path& resolver);
    // The unit, started before the network comes up (and ready only once its table stands), so
    // that after a restart nothing leaves before the guard holds it.
    static std::string unitText(const std::filesystem::path& script);

private:
    bool restart(CommandReply& reply) const;
    // The key file as it stands; none when there is none or it cannot be trusted.
    std::optional<GuardRules::KeyFile> keys() const;

    const GuardPaths paths_;
    const std::filesystem::path program_;
    const std::filesystem::path systemctl_;
    const std::filesystem::path nft_;
    const std::filesystem::path resolver_;
    const ProcessRelay& relay_;
    // Two installs at once would race on the same files.
    std::mutex mutex_;
};

}  // namespace corvantis::helper
