#pragma once

#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/TunnelPush.hpp"
#include "platform/foundation/ProcessLauncher.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::helper {

// Makes the name servers a VPN server pushed the system's resolvers for the life of its tunnel.
// Where systemd-resolved runs they go to the tunnel's link with the routing domain "~.", so
// that every name is asked through the tunnel, and leave with the link. Elsewhere the helper
// writes the resolver file itself from the parsed records, after keeping the file as it was;
// that copy comes back when the tunnel ends, and at the helper's start when a killed helper
// left the tunnel's file behind. Calls come from the runs' threads.
class TunnelResolver {
public:
    TunnelResolver(const HelperConfiguration& configuration, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                   std::shared_ptr<HelperLog> log);

    void use(const TunnelPush& push);
    // Puts the configuration from before the tunnel back; nothing when none was changed.
    void putBack();

    // The resolver file's text as it stands outside the tunnel: the kept copy while the file
    // is the tunnel's.
    platform::foundation::Expected<std::string> fileOutsideTunnel() const;
    // The name servers the current tunnel brought, which only the tunnel reaches.
    std::vector<std::string> tunnelNameServers() const;

    // The first line of every resolver file the helper writes for a tunnel.
    static constexpr std::string_view marker =
        "# Written by the Corvantis VPN helper for the tunnel; the previous file comes back when it ends";
    static std::string fileText(const TunnelPush& push);

private:
    bool resolvedRuns() const;
    void useResolved(const TunnelPush& push);
    void useFile(const TunnelPush& push);
    void putBackFile();
    bool fileIsTheTunnels() const;
    bool resolvectl(std::vector<std::string> arguments) const;

    const ResolverPaths paths_;
    const std::filesystem::path resolvectl_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    mutable std::mutex mutex_;
    std::vector<std::string> nameServers_;
    // The link systemd-resolved was given the name servers for.
    std::optional<std::string> resolvedLink_;
};

}  // namespace corvantis::helper
