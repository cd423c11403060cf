#include "HelperService/CorvantisHelper/IKEv2Tunnel.hpp"

#include "HelperService/CorvantisHelper/StrongSwanConnection.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/network/ViciSession.hpp"

#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::network::ViciMessage;
using platform::network::ViciSession;
using namespace std::chrono_literals;

namespace {

constexpr const char* eapSecretId = "corvantis-ikev2-account";
constexpr const char* mschapPlugin = "/usr/lib/ipsec/plugins/libstrongswan-eap-mschapv2.so";

// The PEM certificates in a bundle, each with its armour.
std::vector<std::string> pemCertificates(const std::string& bundle) {
    static constexpr std::string_view begin = "-----BEGIN CERTIFICATE-----";
    static constexpr std::string_view end = "-----END CERTIFICATE-----";
    std::vector<std::string> certificates;
    std::size_t position = 0;
    while ((position = bundle.find(begin, position)) != std::string::npos) {
        const auto last = bundle.find(end, position);
        if (last == std::string::npos) break;
        certificates.push_back(bundle.substr(position, last + end.size() - position) + "\n");
        position = last + end.size();
    }
    return certificates;
}

}  // namespace

IKEv2Tunnel::IKEv2Tunnel(Options options, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                         std::shared_ptr<HelperLog> log)
    : options_(std::move(options)), launcher_(std::move(launcher)), log_(std::move(log)) {}

IKEv2Tunnel::~IKEv2Tunnel() {
    disconnect();
    std::unique_lock lock(mutex_);
    charonEnded_.wait(lock, [this] { return liveCharons_ == 0; });
}

bool IKEv2Tunnel::installed() const {
    return ::access(options_.charon.program.c_str(), X_OK) == 0 && ::access(mschapPlugin, R_OK) == 0;
}

bool IKEv2Tunnel::running() const {
    std::lock_guard lock(mutex_);
    return charon_ != nullptr;
}

IKEv2TunnelResult IKEv2Tunnel::connect(const IKEv2TunnelSettings& settings, const std::string& password) {
    std::lock_guard operation(operation_);
    disconnect();
    {
        std::unique_lock lock(mutex_);
        // A charon stops within its own limits (SIGTERM, then SIGKILL); this is only a backstop.
        if (!charonEnded_.wait_for(lock, 15s, [this] { return liveCharons_ == 0; })) {
            log_->notice("IKEv2 start failed: the previous charon has not stopped");
            return IKEv2TunnelResult::failed;
        }
    }
    if (!installed()) {
        log_->notice("IKEv2 start refused: strongSwan (charon-systemd with the EAP-MSCHAPv2 plugin) is not installed");
        return IKEv2TunnelResult::unavailable;
    }
    auto connection = StrongSwanConnection::make(settings, options_.charon.userSpaceEsp);
    if (!connection) {
        log_->notice("IKEv2 start refused: " + connection.error().message);
        return IKEv2TunnelResult::refused;
    }
    auto started = CharonDaemon::start(launcher_, options_.runtimeFolder, options_.charon, log_);
    if (!started) {
        log_->notice("IKEv2 start failed: " + started.error().message);
        return IKEv2TunnelResult::failed;
    }
    std::shared_ptr<CharonDaemon> charon(started.value().release(), [this](CharonDaemon* ended) {
        delete ended;
        std::lock_guard lock(mutex_);
        --liveCharons_;
        charonEnded_.notify_all();
    });
    {
        std::lock_guard lock(mutex_);
        ++liveCharons_;
        charon_ = charon;
    }
    if (auto up = establish(*charon, connection.value(), settings, password); !up) {
        log_->notice("IKEv2 tunnel failed: " + up.error().message);
        std::lock_guard lock(mutex_);
        if (charon_ == charon) charon_.reset();
        return IKEv2TunnelResult::failed;
    }
    log_->notice(std::string("IKEv2 tunnel up (ESP ") + (options_.charon.userSpaceEsp ? "in charon" : "in the kernel") + ")");
    return IKEv2TunnelResult::connected;
}

Expected<void> IKEv2Tunnel::establish(CharonDaemon& charon, const ViciMessage& connection, const IKEv2TunnelSettings& settings,
                                      const std::string& password) {
    auto session = ViciSession::connect(charon.viciSocket());
    if (!session) return session.error();
    auto& vici = *session.value();

    auto bundle = platform::foundation::FileSystem::readFile(options_.authorities);
    if (!bundle) return Error{bundle.error().code, "the certificate authorities could not be read: " + bundle.error().message};
    int trusted = 0;
    for (const auto& certificate : pemCertificates(bundle.value())) {
        if (vici.loadAuthorityCertificate(certificate)) ++trusted;
    }
    if (trusted == 0) return Error{ENOENT, "no certificate authority could be loaded from " + options_.authorities.string()};

    // Validated before: the connection needs the user name.
    if (auto secret = vici.loadShared(eapSecretId, "EAP", password, {*settings.username}); !secret) return secret.error();
    if (auto loaded = vici.loadConn(StrongSwanConnection::name, connection); !loaded) return loaded.error();
    return vici.initiate(StrongSwanConnection::name, StrongSwanConnection::name, options_.establishLimit);
}

void IKEv2Tunnel::disconnect() {
    std::shared_ptr<CharonDaemon> charon;
    {
        std::lock_guard lock(mutex_);
        charon = std::exchange(charon_, nullptr);
    }
    if (!charon) return;
    // Ending the SA tells the server; a start still waiting for it then fails at once.
    if (auto session = ViciSession::connect(charon->viciSocket(), 1s)) {
        if (auto ended = session.value()->terminate(StrongSwanConnection::name, 3s); !ended) {
            log_->notice("IKEv2 tunnel end: " + ended.error().message);
        }
    }
    log_->notice("IKEv2 tunnel ended");
}

}  // namespace corvantis::helper
