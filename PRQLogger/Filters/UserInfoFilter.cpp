#include "PRQLogger/Filters/UserInfoFilter.hpp"

#include "PRQLogger/Filters/MatchListDescription.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "PRQLogger/Misc/TypeName.hpp"

namespace prq {

namespace {
// Whether every element of the collection is a text and one of them is among the items.
template <class Collection>
bool sharesAText(const Collection& values, const MatchSet& items) {
    bool shared = false;
    for (const auto& value : values) {
        const auto* text = value.template get_if<std::string>();
        if (!text) return false;
        shared = shared || items.contains(*text);
    }
    return shared;
}

bool isInternal(const UserInfo& userInfo) {
    const auto found = userInfo.find(std::string(Constants::userInfoKeyInternal));
    if (found == userInfo.end()) return false;
    const auto* flag = found->second.get_if<bool>();
    return flag && *flag;
}
}  // namespace

UserInfoFilter::UserInfoFilter(CreationKey key, bool inverse, const TextSequence& items)
    : UserInfoFilter(key, inverse, items, "") {}

UserInfoFilter::UserInfoFilter(CreationKey, bool inverse, const TextSequence& items, std::string userInfoKey)
    : userInfoKey_(std::move(userInfoKey)), createdInverse_(inverse), createdItems_(items.texts()) {}

std::shared_ptr<UserInfoFilter> UserInfoFilter::includeFrom(const TextSequence& items) {
    return create<UserInfoFilter>(true, items);
}

std::shared_ptr<UserInfoFilter> UserInfoFilter::excludeFrom(const TextSequence& items) {
    return create<UserInfoFilter>(false, items);
}

void UserInfoFilter::didCreate(CreationKey) {
    setInverse(createdInverse_);
    add(TextSequence(std::exchange(createdItems_, {})));
}

const std::string& UserInfoFilter::userInfoKey() const {
    return userInfoKey_;
}
void UserInfoFilter::setUserInfoKey(std::string key) {
    userInfoKey_ = std::move(key);
}
bool UserInfoFilter::applyFilterToInternalMessages() const {
    return applyFilterToInternalMessages_;
}
void UserInfoFilter::setApplyFilterToInternalMessages(bool apply) {
    applyFilterToInternalMessages_ = apply;
}
bool UserInfoFilter::inverse() const {
    return inverse_;
}
void UserInfoFilter::setInverse(bool inverse) {
    inverse_ = inverse;
}
const MatchSet& UserInfoFilter::itemsToMatch() const {
    return itemsToMatch_;
}
void UserInfoFilter::setItemsToMatch(MatchSet items) {
    itemsToMatch_ = std::move(items);
}

bool UserInfoFilter::add(const std::string& item) {
    auto items = itemsToMatch();
    const bool inserted = items.insert(item).second;
    setItemsToMatch(std::move(items));
    return inserted;
}

void UserInfoFilter::add(const TextSequence& items) {
    for (const auto& item : items.texts()) add(item);
}

void UserInfoFilter::clear() {
    setItemsToMatch({});
}

bool UserInfoFilter::shouldExclude(LogDetails& logDetails, std::string&) {
    if (!applyFilterToInternalMessages() && isInternal(logDetails.userInfo)) return inverse();
    const bool matched = matches(logDetails.userInfo);
    return inverse() ? !matched : matched;
}

bool UserInfoFilter::matches(const UserInfo& userInfo) const {
    const auto found = userInfo.find(userInfoKey());
    if (found == userInfo.end()) return false;
    const AnyValue& value = found->second;
    const auto& items = itemsToMatch();
    if (const auto* set = value.get_if<AnyValue::Set>()) return sharesAText(*set, items);
    if (const auto* list = value.get_if<AnyValue::List>()) return sharesAText(*list, items);
    if (const auto* text = value.get_if<std::string>()) return items.contains(*text);
    return false;
}

std::string UserInfoFilter::debugDescription() const {
    std::string text = extractTypeName(*this) + ": ";
    if (applyFilterToInternalMessages()) text += "(Filtering Internal) ";
    return text + matchListDescription(inverse(), itemsToMatch());
}

}  // namespace prq
