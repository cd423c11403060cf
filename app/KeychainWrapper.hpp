#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>

namespace corvantis {

// Generic-password items of the user's keychain, addressed by a text key under one service name
// (and an access group, when one is set). Class members only.
class KeychainWrapper {
public:
    KeychainWrapper() = delete;

    // The service of every item; when unset it becomes the application's bundle identifier, or
    // "SwiftKeychainWrapper" when the application has none.
    static std::string serviceName();
    static void setServiceName(std::string name);
    // Empty means no access group.
    static std::string accessGroup();
    static void setAccessGroup(std::string group);

    static bool hasValueForKey(const std::string& key);
    // The value as UTF-8 text; none when there is no item or its bytes are not valid UTF-8.
    static std::optional<std::string> stringForKey(const std::string& key);
    // The archived object stored under the key; none when there is no item or it holds no archive.
    static std::optional<nlohmann::json> objectForKey(const std::string& key);
    static std::optional<std::string> dataForKey(const std::string& key);
    // The item's persistent reference, not its value.
    static std::optional<std::string> dataRefForKey(const std::string& key);

    static bool setString(const std::string& value, const std::string& key);
    static bool setObject(const nlohmann::json& value, const std::string& key);
    // Adds the item, readable while the keychain is unlocked; an existing item gets the new value.
    static bool setData(const std::string& value, const std::string& key);
    // False also when there was no item.
    static bool removeObjectForKey(const std::string& key);
};

}  // namespace corvantis
