#include "HelperService/CorvantisHelper/L2TPService.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/network/NetworkInterface.hpp"
#include "platform/network/NetworkKeys.hpp"

namespace corvantis::helper {

using namespace platform::network;

// One connect request: where its replies go, and its connection once it is started.
struct L2TPService::Request {
    CodeReply reply;
    std::unique_ptr<NetworkConnection> connection;

    void send(int code) const {
        if (reply) reply(code);
    }
};

L2TPService::L2TPService(Platform platform, std::shared_ptr<VPNKeychain> keychain, std::shared_ptr<HelperLog> log)
    : platform_(std::move(platform)), keychain_(std::move(keychain)), log_(std::move(log)) {}

void L2TPService::preferencesAuthorization() {
    if (auth_) return;
    using namespace platform::security;
    auth_ = Authorization::create();
    // The helper runs as root, where the rights are always granted.
    (void)auth_->copyRights(
        {}, kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize);
}

bool L2TPService::setIPv4(const std::string& serviceID) {
    std::lock_guard lock(mutex_);
    if (!prefs_ || !prefs_->copyProtocol(serviceID, kSCNetworkProtocolTypeIPv4)) return false;
    // Committed at once: nothing else would keep the change.
    return prefs_->setProtocolConfiguration(serviceID, kSCNetworkProtocolTypeIPv4, {{kSCPropNetOverridePrimary, 1}}) &&
           prefs_->commitChanges();
}

int L2TPService::servicesInitialization(const std::string& name) {
    auto opened = NetworkPreferences::create(preferencesName, platform_.preferencesFile, platform_.faults);
    if (!opened) {
        log_->notice(opened.error().message);
        return 101;
    }
    prefs_ = opened.value();
    auto services = prefs_->copyAllServices();
    if (!services) return 0;
    serviceFound_ = false;
    for (const auto& identifier : services.value()) {
        if (prefs_->serviceName(identifier) != name) continue;
        serviceFound_ = true;
        serviceID_ = identifier;
        break;
    }
    return 0;
}

void L2TPService::connectToL2TPServerWithAddress(const std::optional<std::string>& address,
                                                 const std::optional<std::string>& username,
                                                 const std::optional<std::string>& password,
                                                 const std::optional<std::string>& sharedSecret, CodeReply reply) {
    auto request = std::make_shared<Request>(Request{std::move(reply), nullptr});
    {
        std::lock_guard lock(mutex_);
        log_->notice("Creating L2TP connection...");
        address_ = address.value_or("");
        username_ = username.value_or("");
        password_ = password.value_or("");
        preferencesAuthorization();
        if (const int code = servicesInitialization(serviceName); code != 0) {
            // No preferences to work on: nothing more can be done.
            request->send(code);
            request->send(0);
            return;
        }
        if (serviceFound_) {
            configureExistingService(*request);
        } else {
            createService(*request, sharedSecret.value_or(""));
        }
        log_->notice("Connecting to L2TP");
    }
    // The request's thread is not held up meanwhile; the reply channel stays open until the end.
    platform::dispatch::DispatchQueue::main()->asyncAfter(startDelay, [weak = weak_from_this(), request] {
        if (auto self = weak.lock()) self->startConnection(request);
    });
}

void L2TPService::configureExistingService(Request& request) {
    if (auto set = prefs_->setInterfaceConfiguration(serviceID_, L2TPPPPConfig()); !set) {
        request.send(103);
        return;
    }
    if (!prefs_->copyProtocol(serviceID_, kSCNetworkProtocolTypeIPv4)) {
        request.send(205);
    } else if (!prefs_->setProtocolConfiguration(serviceID_, kSCNetworkProtocolTypeIPv4, L2TPIPv4Config())) {
        request.send(206);
    }
    if (!prefs_->commitChanges()) request.send(207);
    if (!prefs_->applyChanges()) request.send(208);
    if (auto synchronized = prefs_->synchronize(); !synchronized) log_->notice(synchronized.error().message);
}

void L2TPService::createService(Request& request, const std::string& sharedSecret) {
    const auto l2tp = NetworkInterface::createWithInterface(NetworkInterface::ipv4(), kSCNetworkInterfaceTypeL2TP);
    const auto ppp = NetworkInterface::createWithInterface(l2tp, kSCNetworkInterfaceTypePPP);
    serviceID_ = prefs_->createService(ppp);
    if (auto named = prefs_->setServiceName(serviceID_, serviceName); !named) log_->notice(named.error().message);

    if (!prefs_->setInterfaceConfiguration(serviceID_, L2TPPPPConfig())) request.send(103);
    if (!prefs_->setInterfaceExtendedConfiguration(serviceID_, kSCEntNetIPSec, L2TPIPSecConfig())) request.send(104);
    if (!prefs_->establishDefaultConfiguration(serviceID_)) request.send(201);
    if (auto set = prefs_->copyCurrentSet(); !set) {
        request.send(202);
    } else if (auto added = prefs_->addServiceToSet(set.value(), serviceID_); !added) {
        request.send(added.error().code == kSCStatusKeyExists ? 203 : 204);
    }
    if (!prefs_->copyProtocol(serviceID_, kSCNetworkProtocolTypeIPv4)) {
        request.send(205);
    } else if (!prefs_->setProtocolConfiguration(serviceID_, kSCNetworkProtocolTypeIPv4, L2TPIPv4Config())) {
        request.send(206);
    }
    if (!prefs_->commitChanges()) request.send(207);
    if (keychain_->createPasswordKeyChainItem(serviceName, serviceID_, username_, password_) != 0) {
        log_->notice("Keychain error");
        request.send(301);
    }
    if (keychain_->createSharedSecretKeyChainItem(serviceName, serviceID_, sharedSecret) != 0) {
        log_->notice("Keychain error");
        request.send(302);
    }
    if (!prefs_->applyChanges()) request.send(208);
}

void L2TPService::startConnection(const std::shared_ptr<Request>& request) {
    nlohmann::json options;
    {
        std::lock_guard lock(mutex_);
        request->connection = connectionFor(serviceID_);
        options = startOptions();
    }
    log_->notice("Starting connection");
    if (auto started = request->connection->start(options, true); !started) {
        log_->notice("Connection error: " + started.error().message);
        request->send(104);
        request->send(0);
        return;
    }
    log_->notice(std::to_string(static_cast<int>(request->connection->status())));
    pollStatus(request, platform::Services::current().clock()->now() + statusPollLimit);
}

void L2TPService::pollStatus(const std::shared_ptr<Request>& request, platform::dispatch::TimePoint deadline) {
    const auto status = request->connection->status();
    const bool settling = status == ConnectionStatus::connecting || status == ConnectionStatus::disconnecting;
    if (settling && platform::Services::current().clock()->now() < deadline) {
        platform::dispatch::DispatchQueue::main()->asyncAfter(statusPollPause, [weak = weak_from_this(), request, deadline] {
            if (auto self = weak.lock()) self->pollStatus(request, deadline);
        });
        return;
    }
    log_->notice(std::to_string(static_cast<int>(status)));
    request->send(status == ConnectionStatus::connected ? -1 : 105);
    request->send(0);
}

bool L2TPService::connect() {
    log_->notice("Connecting...");
    std::unique_ptr<NetworkConnection> connection;
    nlohmann::json options;
    {
        std::lock_guard lock(mutex_);
        connection = connectionFor(serviceID_);
        options = startOptions();
    }
    if (auto started = connection->start(options, true); !started) {
        log_->notice("Connection error: " + started.error().message);
        return false;
    }
    log_->notice("------------------------------Connected");
    return true;
}

void L2TPService::disconnect() {
    std::lock_guard lock(mutex_);
    log_->notice("Disconnecting L2TP");
    if (!prefs_ || serviceID_.empty()) {
        // No request of this helper found or made a service: each step below would only fail.
        log_->notice("No L2TP service to disconnect");
        return;
    }
    if (auto stopped = connectionFor(serviceID_)->stop(true); !stopped) {
        log_->notice("L2TP disconnect error: " + stopped.error().message);
    }
    auto report = [&](const char* message, const platform::foundation::Expected<void>& done) {
        if (!done) log_->notice(std::string(message) + ": " + done.error().message);
    };
    report("Error removing L2TP entry", prefs_->removeService(serviceID_));
    report("SCPreferencesCommitChanges error", prefs_->commitChanges());
    report("SCPreferencesApplyChanges error", prefs_->applyChanges());
}

void L2TPService::endConnection() {
    {
        std::lock_guard lock(mutex_);
        if (!prefs_) return;
    }
    disconnect();
}

nlohmann::json L2TPService::L2TPPPPConfig() const {
    return {{kSCPropNetPPPCommRemoteAddress, address_},
            {kSCPropNetPPPAuthName, username_},
            {kSCPropNetPPPAuthPassword, serviceID_},
            {kSCPropNetPPPAuthPasswordEncryption, kSCValNetPPPAuthPasswordEncryptionKeychain}};
}

nlohmann::json L2TPService::L2TPIPSecConfig() const {
    return {{kSCPropNetIPSecAuthenticationMethod, kSCValNetIPSecAuthenticationMethodSharedSecret},
            {kSCPropNetIPSecSharedSecretEncryption, kSCValNetIPSecSharedSecretEncryptionKeychain},
            {kSCPropNetIPSecSharedSecret, serviceID_ + ".SS"}};
}

nlohmann::json L2TPService::L2TPIPv4Config() const {
    return {{kSCPropNetIPv4ConfigMethod, kSCValNetIPv4ConfigMethodPPP}, {kSCPropNetOverridePrimary, 1}};
}

nlohmann::json L2TPService::startOptions() const {
    return {{kSCEntNetPPP,
             {{kSCPropNetPPPAuthName, username_},
              {kSCPropNetPPPAuthPassword, password_},
              {kSCPropNetPPPCommRemoteAddress, address_}}}};
}

std::unique_ptr<NetworkConnection> L2TPService::connectionFor(const std::string& serviceID) const {
    return std::make_unique<NetworkConnection>(serviceID, platform_.preferencesFile, platform_.driver, platform_.faults);
}

}  // namespace corvantis::helper
