#include "platform/security/KeychainItem.hpp"

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

}  // namespace platform::security
