#include "HelperService/CorvantisHelper/HelperPasswordItems.hpp"

namespace corvantis::helper {

using platform::security::KeychainStore;

HelperPasswordItems::HelperPasswordItems(std::filesystem::path keychainFile)
    : store_(KeychainStore::open(std::move(keychainFile))) {}

platform::security::KeychainQuery HelperPasswordItems::newSearchDictionary(const std::string& identifier) {
    return {.service = service, .account = identifier, .generic = identifier};
}

std::optional<std::string> HelperPasswordItems::searchKeychainCopyMatching(const std::string& identifier) const {
    const auto match = store_->copyMatching(newSearchDictionary(identifier), KeychainStore::MatchLimit::one);
    if (match.status != platform::security::errSecSuccess || match.items.empty()) return std::nullopt;
    return match.items.front().persistentRef;
}

bool HelperPasswordItems::createKeychainValue(const std::string& value, const std::string& identifier) {
    const auto query = newSearchDictionary(identifier);
    // An earlier value goes first; "not found" is the usual answer, and a store that cannot be
    // written fails the add below, whose status is the answer.
    (void)store_->remove(query);
    platform::security::KeychainItem item;
    item.service = query.service;
    item.account = query.account;
    item.generic = query.generic;
    item.valueData = value;
    return store_->add(std::move(item)) == platform::security::errSecSuccess;
}

}  // namespace corvantis::helper
