#pragma once

#include "HelperService/CorvantisHelper/CharonDaemon.hpp"
#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/network/ViciMessage.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>

namespace corvantis::helper {

// The helper's one IKEv2 tunnel: a charon of its own (see CharonDaemon), given the server's
// certificate authorities, the account's EAP secret and the connection over VICI, then asked to
// initiate. The password goes to charon only over its root-only socket, never into a file, a
// command line or a log. One tunnel at a time: a start ends the previous tunnel first.
class IKEv2Tunnel {
public:
    struct Options {
        CharonDaemon::Options charon;
        // The folder in which each tunnel gets a root-only run folder.
        std::filesystem::path runtimeFolder = "/run/corvantis";
        // PEM certificates of the authorities a server's certificate may come from.
        std::filesystem::path authorities = "/etc/ssl/certs/ca-certificates.crt";
        // How long charon may take to bring the tunnel up.
        std::chrono::milliseconds establishLimit{20000};
    };

    IKEv2Tunnel(Options options, std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log);
    ~IKEv2Tunnel();

    // Whether strongSwan is installed: the charon program and the EAP-MSCHAPv2 plugin.
    bool installed() const;

    // Blocks until the tunnel is up or has failed.
    IKEv2TunnelResult connect(const IKEv2TunnelSettings& settings, const std::string& password);
    // Ends the tunnel and its charon, if there is one.
    void disconnect();
    bool running() const;

private:
    platform::foundation::Expected<void> establish(CharonDaemon& charon, const platform::network::ViciMessage& connection,
                                                   const IKEv2TunnelSettings& settings, const std::string& password);

    const Options options_;
    std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    std::shared_ptr<HelperLog> log_;
    // Held while a start or stop runs, so the two never interleave.
    std::mutex operation_;
    mutable std::mutex mutex_;
    std::shared_ptr<CharonDaemon> charon_;
    // Charons not yet stopped, counting those a disconnect is still taking down: a new one
    // would find the IKE ports and the TUN device taken.
    int liveCharons_ = 0;
    std::condition_variable charonEnded_;
};

}  // namespace corvantis::helper
