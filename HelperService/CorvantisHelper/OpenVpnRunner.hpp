#pragma once

#include "HelperService/CorvantisHelper/GuardEndpointsFile.hpp"
#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/OpenVpnRun.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/xpc/PeerCredentials.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::helper {

// Starts openvpn for the application and stops what it started. Only the program named in the
// helper's configuration runs, with an argument vector and no shell. The caller's profile
// ("config.ovpn" in a private folder of the calling user, read as that user) is parsed into
// records, and openvpn reads only the profile the helper renders from them. The run happens in a
// root-only folder of its own that holds that profile, the bundle's scripts and the credentials
// file (0600) for the length of the run. The rendered profile's servers become the endpoints
// the kill-switch guard lets out, and the tunnel's network settings live as long as its run.
class OpenVpnRunner {
public:
    // The most runs going at once; a further request is refused until one has ended. The
    // application keeps one tunnel, but a server switch starts the next run while the one it
    // stopped may still be in its grace period (OpenVpnRun::killGracePeriod): four leave room for
    // a few quick switches, while what callers can make root hold stays small: four processes
    // and run folders, and some twenty descriptors (pipes, reply connections) of a service's 1,024.
    static constexpr std::size_t maximumRuns = 4;

    struct Shared {
        std::shared_ptr<GuardEndpointsFile> endpoints;
        std::shared_ptr<TunnelNetwork> network;
    };

    OpenVpnRunner(const HelperConfiguration& configuration, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                  std::shared_ptr<HelperLog> log, Shared shared);

    // `caller` is the user who asked. A request the helper cannot carry out (a profile path that
    // is not absolute, a profile it refuses, `maximumRuns` runs going) is answered at once with
    // the "ended" reply, whose text says why.
    void runOpenVPN(const std::string& path, const std::string& config, const std::optional<std::string>& userName,
                    const std::optional<std::string>& password, const std::string& workingDirectory,
                    const platform::xpc::PeerCredentials& caller, TextArrayReply reply);

    // Stops every run this helper started and that has not ended.
    void killOpenVPN();

    // Waits until every run has ended, at most `limit`; true when none is left.
    bool waitUntilAllEnded(std::chrono::milliseconds limit) const;

private:
    struct Prepared {
        std::unique_ptr<RunFolder> folder;
        std::vector<std::string> arguments;
        std::vector<ServerEndpoint> endpoints;
    };
    platform::foundation::Expected<Prepared> prepare(const std::string& config, const std::optional<std::string>& userName,
                                                     const std::optional<std::string>& password,
                                                     const std::string& workingDirectory,
                                                     const platform::xpc::PeerCredentials& caller) const;

    // The runs that have not ended. Shared with the runs, which take themselves out as they end.
    struct Registry {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::shared_ptr<OpenVpnRun>> runs;

        void forget(const OpenVpnRun* run);
    };

    const HelperConfiguration configuration_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    const Shared shared_;
    const std::shared_ptr<Registry> registry_ = std::make_shared<Registry>();
};

}  // namespace corvantis::helper
