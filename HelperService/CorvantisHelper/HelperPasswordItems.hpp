#pragma once

#include "platform/security/KeychainStore.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace corvantis::helper {

// The helper's own generic-password items for IKEv2, one per identifier, in a root-only
// keychain file of their own. Nothing in the application stores any yet.
class HelperPasswordItems {
public:
    static constexpr const char* service = "com.corvantis.CorvantisHelper.ikev2";

    explicit HelperPasswordItems(std::filesystem::path keychainFile);

    // The query that finds the item of `identifier` (account and generic attribute alike).
    static platform::security::KeychainQuery newSearchDictionary(const std::string& identifier);
    // The item's persistent reference; none when there is no such item.
    std::optional<std::string> searchKeychainCopyMatching(const std::string& identifier) const;
    // Replaces the item of `identifier` with one holding `value`; true when it was added.
    bool createKeychainValue(const std::string& value, const std::string& identifier);

private:
    std::shared_ptr<platform::security::KeychainStore> store_;
};

}  // namespace corvantis::helper
