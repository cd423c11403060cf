#include "platform/security/KeychainItem.hpp"

#include <random>

namespace platform::security {

namespace {
bool attributeMatches(const std::optional<std::string>& wanted, const std::optional<std::string>& actual) {
    return !wanted || wanted == actual;
}
}  // namespace

bool KeychainQuery::matches(const KeychainItem& item) const {
    return attributeMatches(service, item.service) && attributeMatches(account, item.account) &&
           attributeMatches(generic, item.generic) && attributeMatches(accessGroup, item.accessGroup) &&
           (!persistentRef || *persistentRef == item.persistentRef);
}

bool sharePrimaryKey(const KeychainItem& a, const KeychainItem& b) {
    return a.service.value_or("") == b.service.value_or("") && a.account.value_or("") == b.account.value_or("") &&
           a.accessGroup.value_or("") == b.accessGroup.value_or("");
}

std::string newPersistentRef() {
    static constexpr char digits[] = "0123456789abcdef";
    std::random_device random;
    std::string reference = "genp-";
    for (int i = 0; i < 32; ++i) reference += digits[random() % 16];
    return reference;
}

}  // namespace platform::security
