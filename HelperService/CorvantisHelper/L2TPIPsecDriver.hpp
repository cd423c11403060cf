#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/KernelL2TPSupport.hpp"
#include "HelperService/CorvantisHelper/L2TPIpsec.hpp"
#include "HelperService/CorvantisHelper/L2TPLinkState.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/network/ConnectionDriver.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace corvantis::helper {

// Brings an L2TP/IPsec network service up with the machine's own programs: strongSwan keeps the
// transport-mode IPsec SA, a private xl2tpd dials the L2TP tunnel and its pppd the PPP link.
// Each status read looks at the layers afresh and moves the connection on: L2TP is dialled once
// IPsec is up. The account's password reaches pppd only through a root-only options file.
class L2TPIPsecDriver final : public platform::network::ConnectionDriver {
public:
    struct Platform {
        // Each connection gets a root-only folder in here for xl2tpd's and pppd's files.
        std::filesystem::path runtimeFolder;
        std::filesystem::path xl2tpd = "/usr/sbin/xl2tpd";
        // Where pppd writes the pid file of the links it names.
        std::filesystem::path pppRunFolder = "/var/run";
        // Holds the IPsec shared secret that the service refers to.
        std::filesystem::path systemKeychain;
        std::function<KernelL2TPSupport()> kernel = [] { return KernelL2TPSupport::probe(); };
        std::shared_ptr<platform::foundation::ProcessLauncher> launcher;
        std::shared_ptr<L2TPIpsec> ipsec;
        std::shared_ptr<HelperLog> log;
    };

    // The link name pppd is given, so that its pid file names the PPP interface.
    static constexpr const char* pppLinkName = "corvantis-l2tp";

    explicit L2TPIPsecDriver(Platform platform);
    ~L2TPIPsecDriver() override;

    platform::foundation::Expected<void> start(const std::string& serviceID, const nlohmann::json& service,
                                               const nlohmann::json& options) override;
    platform::network::ConnectionStatus status(const std::string& serviceID) override;
    platform::foundation::Expected<void> stop(const std::string& serviceID) override;

private:
    struct Session;

    platform::foundation::Expected<std::unique_ptr<Session>> prepare(const std::string& serviceID, const nlohmann::json& service,
                                                                     const nlohmann::json& options) const;
    platform::foundation::Expected<void> launchXl2tpd(const std::shared_ptr<Session>& session);
    L2TPLinkState observe(Session& session) const;
    void end(Session& session) const;

    const Platform platform_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Session>> sessions_;
};

}  // namespace corvantis::helper
