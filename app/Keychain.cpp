#include "app/Keychain.hpp"

#include "app/KeychainWrapper.hpp"
#include "platform/foundation/Url.hpp"

namespace corvantis {

namespace {
constexpr const char* kKeychainServiceName = "Corvantis";
constexpr const char* secretSuffix = "psk";
constexpr const char* certificateSuffix = "cert";

// Selects the keychain's service and yields the identifier's key.
std::optional<std::string> prepare(const std::string& vpnId) {
    KeychainWrapper::setServiceName(kKeychainServiceName);
    return Keychain::keyForVPNID(vpnId);
}

bool store(const std::string& value, const std::optional<std::string>& key) {
    if (!key) return false;
    KeychainWrapper::removeObjectForKey(*key);
    if (value.empty()) return true;
    return KeychainWrapper::setString(value, *key);
}
}  // namespace

std::optional<std::string> Keychain::keyForVPNID(const std::string& vpnId) {
    if (!platform::foundation::Url::isUnencodedText(vpnId)) return std::nullopt;
    std::string_view path(vpnId);
    path = path.substr(0, path.find_first_of("?#"));
    while (path.size() > 1 && path.ends_with('/')) path.remove_suffix(1);
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos && path.size() > 1) path.remove_prefix(slash + 1);
    if (path.empty()) return std::nullopt;
    return platform::foundation::Url::percentDecode(path);
}

bool Keychain::setPassword(const std::string& password, const std::string& vpnId) {
    return store(password, prepare(vpnId));
}

bool Keychain::setSecret(const std::string& secret, const std::string& vpnId) {
    const auto key = prepare(vpnId);
    return store(secret, key ? std::optional(*key + secretSuffix) : std::nullopt);
}

std::optional<std::string> Keychain::passwordForVPNID(const std::string& vpnId) {
    const auto key = prepare(vpnId);
    return key ? KeychainWrapper::dataRefForKey(*key) : std::nullopt;
}

std::optional<std::string> Keychain::secretForVPNID(const std::string& vpnId) {
    const auto key = prepare(vpnId);
    return key ? KeychainWrapper::dataRefForKey(*key + secretSuffix) : std::nullopt;
}

std::optional<std::string> Keychain::passwordStringForVPNID(const std::string& vpnId) {
    const auto key = prepare(vpnId);
    return key ? KeychainWrapper::stringForKey(*key) : std::nullopt;
}

std::optional<std::string> Keychain::secretStringForVPNID(const std::string& vpnId) {
    const auto key = prepare(vpnId);
    return key ? KeychainWrapper::stringForKey(*key + secretSuffix) : std::nullopt;
}

void Keychain::destoryKeyForVPNID(const std::string& vpnId) {
    const auto key = prepare(vpnId);
    if (!key) return;
    KeychainWrapper::removeObjectForKey(*key);
    KeychainWrapper::removeObjectForKey(*key + secretSuffix);
    KeychainWrapper::removeObjectForKey(*key + certificateSuffix);
}

}  // namespace corvantis
