#include "app/KeychainWrapper.hpp"

#include "app/HeldSecrets.hpp"
#include "app/JsonValue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/KeyedArchiver.hpp"
#include "platform/foundation/Utf8.hpp"
#include "platform/security/KeychainStore.hpp"

#include <mutex>
#include <nlohmann/json.hpp>

namespace corvantis {

namespace {
using platform::security::KeychainItem;
using platform::security::KeychainQuery;
using platform::security::KeychainStore;

constexpr const char* fallbackServiceName = "SwiftKeychainWrapper";

struct Names {
    std::mutex mutex;
    std::string serviceName;
    std::string accessGroup;
};

Names& names() {
    static Names process;
    return process;
}

// The application's bundle identifier, or the fallback when the bundle names none.
std::string defaultServiceName() {
    const auto& info = platform::foundation::Bundle::main()->infoDictionary();
    const auto identifier = info ? JsonValue::stringMember(*info, "CFBundleIdentifier") : std::nullopt;
    return identifier && !identifier->empty() ? *identifier : fallbackServiceName;
}

KeychainQuery setupKeychainQueryDictionaryForKey(const std::string& key) {
    KeychainQuery query;
    query.service = KeychainWrapper::serviceName();
    if (auto group = KeychainWrapper::accessGroup(); !group.empty()) query.accessGroup = std::move(group);
    query.generic = key;
    query.account = key;
    return query;
}

std::optional<KeychainItem> itemForKey(const std::string& key) {
    auto match = KeychainStore::standard()->copyMatching(setupKeychainQueryDictionaryForKey(key), KeychainStore::MatchLimit::one);
    if (match.status != platform::security::errSecSuccess || match.items.empty()) return std::nullopt;
    // Whatever the keychain keeps is a secret: a later crash report must not quote it.
    HeldSecrets::remember(match.items.front().valueData);
    return std::move(match.items.front());
}

bool updateData(const std::string& value, const std::string& key) {
    return KeychainStore::standard()->update(setupKeychainQueryDictionaryForKey(key), value) == platform::security::errSecSuccess;
}
}  // namespace

std::string KeychainWrapper::serviceName() {
    auto& process = names();
    std::lock_guard lock(process.mutex);
    if (process.serviceName.empty()) process.serviceName = defaultServiceName();
    return process.serviceName;
}

void KeychainWrapper::setServiceName(std::string name) {
    auto& process = names();
    std::lock_guard lock(process.mutex);
    process.serviceName = std::move(name);
}

std::string KeychainWrapper::accessGroup() {
    auto& process = names();
    std::lock_guard lock(process.mutex);
    return process.accessGroup;
}

void KeychainWrapper::setAccessGroup(std::string group) {
    auto& process = names();
    std::lock_guard lock(process.mutex);
    process.accessGroup = std::move(group);
}

bool KeychainWrapper::hasValueForKey(const std::string& key) {
    return dataForKey(key).has_value();
}

std::optional<std::string> KeychainWrapper::stringForKey(const std::string& key) {
    auto data = dataForKey(key);
    if (!data || !platform::foundation::isValidUtf8(*data)) return std::nullopt;
    return data;
}

std::optional<nlohmann::json> KeychainWrapper::objectForKey(const std::string& key) {
    const auto data = dataForKey(key);
    if (!data) return std::nullopt;
    return platform::foundation::KeyedArchiver::unarchiveObject(*data);
}

std::optional<std::string> KeychainWrapper::dataForKey(const std::string& key) {
    auto item = itemForKey(key);
    if (!item) return std::nullopt;
    return std::move(item->valueData);
}

std::optional<std::string> KeychainWrapper::dataRefForKey(const std::string& key) {
    auto item = itemForKey(key);
    if (!item) return std::nullopt;
    return std::move(item->persistentRef);
}

bool KeychainWrapper::setString(const std::string& value, const std::string& key) {
    if (!platform::foundation::isValidUtf8(value)) return false;
    return setData(value, key);
}

bool KeychainWrapper::setObject(const nlohmann::json& value, const std::string& key) {
    return setData(platform::foundation::KeyedArchiver::archivedData(value), key);
}

bool KeychainWrapper::setData(const std::string& value, const std::string& key) {
    HeldSecrets::remember(value);
    const auto query = setupKeychainQueryDictionaryForKey(key);
    KeychainItem item;
    item.service = query.service;
    item.accessGroup = query.accessGroup;
    item.generic = query.generic;
    item.account = query.account;
    item.valueData = value;
    item.accessible = platform::security::accessibleWhenUnlocked;
    const auto status = KeychainStore::standard()->add(std::move(item));
    if (status == platform::security::errSecSuccess) return true;
    if (status == platform::security::errSecDuplicateItem) return updateData(value, key);
    return false;
}

bool KeychainWrapper::removeObjectForKey(const std::string& key) {
    return KeychainStore::standard()->remove(setupKeychainQueryDictionaryForKey(key)) == platform::security::errSecSuccess;
}

}  // namespace corvantis
