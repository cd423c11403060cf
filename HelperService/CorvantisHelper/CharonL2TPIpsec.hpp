#pragma once

#include "HelperService/CorvantisHelper/CharonDaemon.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/L2TPIpsec.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/network/ViciMessage.hpp"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

namespace corvantis::helper {

// The IPsec half of L2TP/IPsec in a charon of the helper's own (see CharonDaemon): the shared
// secret and the connection go to it over its root-only VICI socket, never into a file or a
// command line. The attempt goes on in charon; its state is read from charon's SA list.
class CharonL2TPIpsec final : public L2TPIpsec {
public:
    struct Options {
        CharonDaemon::Options charon;
        std::filesystem::path runtimeFolder = "/run/corvantis";
        // How long a start waits for charon before it reads the SA list instead.
        std::chrono::milliseconds initiateWait{1000};
    };

    // The strongSwan connection: IKEv1 main mode with the pre-shared secret, as L2TP servers
    // speak it, and one SA for L2TP's UDP port 1701 with the server. Transport mode where the
    // kernel carries ESP; charon's own ESP has no transport mode, so there the SA is a tunnel
    // between the two hosts for that port alone, in UDP encapsulation.
    static platform::network::ViciMessage connection(const std::string& server, bool userSpaceEsp);

    CharonL2TPIpsec(Options options, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                    std::shared_ptr<HelperLog> log);

    platform::foundation::Expected<void> bringUp(const Connection& connection) override;
    L2TPLinkState::Ipsec state(const std::string& name) override;
    platform::foundation::Expected<void> bringDown(const std::string& name) override;

private:
    std::shared_ptr<CharonDaemon> daemonFor(const std::string& name) const;

    const Options options_;
    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<CharonDaemon>> daemons_;
};

}  // namespace corvantis::helper
