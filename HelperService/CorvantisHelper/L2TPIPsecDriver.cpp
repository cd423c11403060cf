#include "HelperService/CorvantisHelper/L2TPIPsecDriver.hpp"

#include "HelperService/CorvantisHelper/L2TPClientFiles.hpp"
#include "HelperService/CorvantisHelper/PppLink.hpp"
#include "HelperService/CorvantisHelper/RunFolder.hpp"
#include "HelperService/CorvantisHelper/Xl2tpdControl.hpp"
#include "platform/network/NetworkKeys.hpp"
#include "platform/network/NetworkStep.hpp"
#include "platform/security/SystemKeychain.hpp"

#include <atomic>
#include <csignal>
#include <nlohmann/json.hpp>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using namespace platform::network;

struct L2TPIPsecDriver::Session {
    std::string ipsecName;
    std::unique_ptr<RunFolder> folder;
    std::filesystem::path xl2tpdConfiguration;
    std::unique_ptr<Xl2tpdControl> control;
    std::unique_ptr<PppLink> ppp;
    std::atomic<pid_t> xl2tpd{0};
    std::atomic<bool> xl2tpdEnded{false};
    // Only the thread holding the driver's lock touches these.
    bool dialled = false;
    bool dialFailed = false;
    bool wasConnected = false;

    std::filesystem::path controlFifo() const { return folder->path() / "l2tp-control"; }
};

namespace {

// The text at `entity`/`key` of a JSON record, empty when there is none.
std::string textAt(const nlohmann::json& record, const char* entity, const char* key) {
    if (!record.is_object() || !record.contains(entity) || !record[entity].is_object()) return {};
    const auto& value = record[entity].value(key, nlohmann::json());
    return value.is_string() ? value.get<std::string>() : std::string();
}

// The first of the start options and the service's own configuration that holds `key`.
std::string settingOf(const nlohmann::json& options, const nlohmann::json& service, const char* key) {
    auto text = textAt(options, kSCEntNetPPP, key);
    return text.empty() ? textAt(service, "interfaceConfiguration", key) : text;
}

Error startFailure(const std::string& what, const Error& cause) {
    return Error{kSCStatusFailed, what + ": " + cause.message};
}

}  // namespace

L2TPIPsecDriver::L2TPIPsecDriver(Platform platform) : platform_(std::move(platform)) {}

L2TPIPsecDriver::~L2TPIPsecDriver() {
    std::lock_guard lock(mutex_);
    for (auto& [ignored, session] : sessions_) end(*session);
}

Expected<std::unique_ptr<L2TPIPsecDriver::Session>> L2TPIPsecDriver::prepare(const std::string& serviceID,
                                                                             const nlohmann::json& service,
                                                                             const nlohmann::json& options) const {
    const auto server = settingOf(options, service, kSCPropNetPPPCommRemoteAddress);
    const auto username = settingOf(options, service, kSCPropNetPPPAuthName);
    auto password = textAt(options, kSCEntNetPPP, kSCPropNetPPPAuthPassword);
    auto keychain = platform::security::SystemKeychain::copyDomainDefault(platform_.systemKeychain);
    if (!keychain) return startFailure("No system keychain", keychain.error());
    if (password.empty()) {
        // Without one in the options, the service's password item.
        auto stored = keychain.value()->copyPassword(serviceID, username);
        if (!stored) return startFailure("No password for the L2TP account", stored.error());
        password = stored.value();
    }
    const auto extended = service.is_object() ? service.value("extendedConfiguration", nlohmann::json()) : nlohmann::json();
    auto sharedSecret = textAt(extended, kSCEntNetIPSec, kSCPropNetIPSecSharedSecret);
    if (textAt(extended, kSCEntNetIPSec, kSCPropNetIPSecSharedSecretEncryption) == kSCValNetIPSecSharedSecretEncryptionKeychain) {
        // The setting names the keychain item that holds the secret.
        auto stored = keychain.value()->copyPassword(sharedSecret, "");
        if (!stored) return startFailure("No IPsec shared secret", stored.error());
        sharedSecret = stored.value();
    }
    if (sharedSecret.empty()) return Error{kSCStatusFailed, "The service has no IPsec shared secret"};

    auto session = std::make_unique<Session>();
    session->ipsecName = "corvantis-l2tp-" + serviceID;
    auto folder = RunFolder::make(platform_.runtimeFolder, "l2tp");
    if (!folder) return startFailure("No folder for the L2TP files", folder.error());
    session->folder = std::move(folder.value());
    auto pppOptions = L2TPClientFiles::pppOptions(username, password, pppLinkName);
    if (!pppOptions) return Error{kSCStatusFailed, pppOptions.error().message};
    auto pppFile = session->folder->write("options.pppd", pppOptions.value(), 0600);
    if (!pppFile) return startFailure("Cannot write pppd's options", pppFile.error());
    auto configuration = L2TPClientFiles::xl2tpdConfiguration(server, pppFile.value());
    if (!configuration) return Error{kSCStatusFailed, configuration.error().message};
    auto configurationFile = session->folder->write("xl2tpd.conf", configuration.value(), 0600);
    if (!configurationFile) return startFailure("Cannot write xl2tpd's configuration", configurationFile.error());
    session->xl2tpdConfiguration = configurationFile.value();
    session->control = std::make_unique<Xl2tpdControl>(session->controlFifo(), session->folder->path());
    session->ppp = std::make_unique<PppLink>(platform_.pppRunFolder, pppLinkName);
    session->ppp->clear();

    if (auto up = platform_.ipsec->bringUp({session->ipsecName, server, sharedSecret}); !up) {
        return startFailure("IPsec could not be started", up.error());
    }
    return session;
}

Expected<void> L2TPIPsecDriver::launchXl2tpd(const std::shared_ptr<Session>& shared) {
    Session& session = *shared;
    platform::foundation::ProcessRequest request{
        platform_.xl2tpd,
        {"-D", "-c", session.xl2tpdConfiguration.string(), "-C", session.controlFifo().string(), "-p",
         (session.folder->path() / "xl2tpd.pid").string()},
        session.folder->path()};
    platform::foundation::ProcessEvents events;
    events.output = [](platform::foundation::OutputStream, std::string_view) {};
    events.terminated = [weak = std::weak_ptr(shared), log = platform_.log](platform::foundation::ProcessExit exit) {
        log->notice("xl2tpd ended (status " + std::to_string(exit.exitStatus) + ", signal " + std::to_string(exit.signal) + ")");
        if (auto ended = weak.lock()) ended->xl2tpdEnded = true;
    };
    auto launched = platform_.launcher->launch(request, std::move(events));
    if (!launched) return startFailure("xl2tpd could not be started", launched.error());
    session.xl2tpd = launched.value();
    return {};
}

Expected<void> L2TPIPsecDriver::start(const std::string& serviceID, const nlohmann::json& service,
                                      const nlohmann::json& options) {
    std::lock_guard lock(mutex_);
    if (auto running = sessions_.find(serviceID); running != sessions_.end()) {
        end(*running->second);
        sessions_.erase(running);
    }
    if (const auto refusal = platform_.kernel().refusal()) return Error{kSCStatusFailed, *refusal};
    auto prepared = prepare(serviceID, service, options);
    if (!prepared) return prepared.error();
    std::shared_ptr<Session> session = std::move(prepared.value());
    if (auto launched = launchXl2tpd(session); !launched) {
        end(*session);
        return launched.error();
    }
    sessions_[serviceID] = session;
    platform_.log->notice("L2TP/IPsec: IPsec and xl2tpd started");
    return {};
}

L2TPLinkState L2TPIPsecDriver::observe(Session& session) const {
    using State = L2TPLinkState;
    State state;
    state.ipsec = platform_.ipsec->state(session.ipsecName);
    if (!session.dialled && !session.dialFailed && state.ipsec == State::Ipsec::up && !session.xl2tpdEnded) {
        if (auto dialled = session.control->connectLac(L2TPClientFiles::lacName); dialled) {
            session.dialled = true;
        } else if (dialled.error().code != ENOENT && dialled.error().code != ENXIO) {
            // ENOENT and ENXIO: xl2tpd is still starting; anything else will not get better.
            platform_.log->notice("L2TP/IPsec: " + dialled.error().message);
            session.dialFailed = true;
        }
    }
    if (session.dialFailed || session.xl2tpdEnded) {
        state.tunnel = State::Tunnel::failed;
    } else if (session.dialled) {
        const auto counts = session.control->available();
        state.tunnel = !counts                      ? State::Tunnel::requested
                       : counts.value().calls > 0   ? State::Tunnel::sessionUp
                       : counts.value().tunnels > 0 ? State::Tunnel::tunnelUp
                                                    : State::Tunnel::requested;
    }
    state.ppp = session.ppp->state();
    state.wasConnected = session.wasConnected;
    return state;
}

ConnectionStatus L2TPIPsecDriver::status(const std::string& serviceID) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(serviceID);
    if (found == sessions_.end()) return ConnectionStatus::disconnected;
    const auto status = connectionStatusFor(observe(*found->second));
    if (status == ConnectionStatus::connected) found->second->wasConnected = true;
    return status;
}

void L2TPIPsecDriver::end(Session& session) const {
    if (session.xl2tpd != 0 && !session.xl2tpdEnded) {
        if (session.dialled) (void)session.control->disconnectLac(L2TPClientFiles::lacName);
        if (auto sent = platform_.launcher->signalProcessGroup(session.xl2tpd, SIGTERM); !sent) {
            platform_.log->notice("L2TP/IPsec: " + sent.error().message);
        }
    }
    if (auto down = platform_.ipsec->bringDown(session.ipsecName); !down) {
        platform_.log->notice("L2TP/IPsec: " + down.error().message);
    }
}

Expected<void> L2TPIPsecDriver::stop(const std::string& serviceID) {
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(serviceID);
    if (found == sessions_.end()) {
        return Error{kSCStatusConnectionNoService, "No connection of service " + serviceID + " is running"};
    }
    end(*found->second);
    sessions_.erase(found);
    return {};
}

}  // namespace corvantis::helper
