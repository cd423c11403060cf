#include "HelperService/CorvantisHelperController/HelperIKEv2Tunnel.hpp"

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/security/KeychainStore.hpp"

namespace corvantis {

using platform::foundation::consoleLog;
using Outcome = platform::network::VPNTunnelProvider::Outcome;

namespace {

// The password the reference points at; none when no item has it.
std::optional<std::string> passwordFor(const std::optional<std::string>& reference) {
    if (!reference) return std::nullopt;
    platform::security::KeychainQuery query;
    query.persistentRef = *reference;
    auto match =
        platform::security::KeychainStore::standard()->copyMatching(query, platform::security::KeychainStore::MatchLimit::one);
    if (match.status != platform::security::errSecSuccess || match.items.empty()) return std::nullopt;
    return std::move(match.items.front().valueData);
}

// Fails on the main queue, as every outcome arrives.
void fail(std::function<void(Outcome)> done, const std::string& why) {
    consoleLog("IKEv2: " + why);
    platform::Services::current().mainQueue()->async([done = std::move(done)] { done(Outcome::failed); });
}

}  // namespace

void HelperIKEv2Tunnel::startTunnel(const platform::network::VPNProtocolIKEv2& configuration, std::function<void(Outcome)> done) {
    auto settings = helper::IKEv2TunnelSettings::from(configuration);
    if (!settings) return fail(std::move(done), settings.error().message);
    const auto password = passwordFor(configuration.passwordReference);
    if (!password) return fail(std::move(done), "no VPN password is stored");
    if (auto valid = helper::IKEv2TunnelSettings::validatePassword(*password); !valid)
        return fail(std::move(done), valid.error().message);
    helper_->connectToIKEv2Server(settings.value(), *password, [done = std::move(done)](int code) {
        switch (static_cast<helper::IKEv2TunnelResult>(code)) {
            case helper::IKEv2TunnelResult::connected: return done(Outcome::connected);
            case helper::IKEv2TunnelResult::unavailable: return done(Outcome::unavailable);
            case helper::IKEv2TunnelResult::refused:
            case helper::IKEv2TunnelResult::failed: break;
        }
        done(Outcome::failed);
    });
}

void HelperIKEv2Tunnel::stopTunnel() {
    helper_->disconnectIKEv2();
}

}  // namespace corvantis
