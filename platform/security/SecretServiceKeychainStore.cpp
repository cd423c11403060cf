#include "platform/security/SecretServiceKeychainStore.hpp"

#include "platform/foundation/Utf8.hpp"

#include <algorithm>
#include <array>

namespace platform::security {

using foundation::Error;

namespace {
constexpr const char* schemaAttribute = "xdg:schema";
constexpr const char* schema = "com.corvantis.Keychain";

using Field = std::optional<std::string> KeychainItem::*;
constexpr std::array<std::pair<const char*, Field>, 5> fields{{{"service", &KeychainItem::service},
                                                               {"account", &KeychainItem::account},
                                                               {"generic", &KeychainItem::generic},
                                                               {"accessGroup", &KeychainItem::accessGroup},
                                                               {"accessible", &KeychainItem::accessible}}};
constexpr const char* persistentRefAttribute = "persistentRef";

// The item's attributes as the Secret Service keeps them; none when one is not UTF-8 text.
std::optional<SecretService::Attributes> attributesOf(const KeychainItem& item) {
    SecretService::Attributes attributes{{schemaAttribute, schema}, {persistentRefAttribute, item.persistentRef}};
    for (const auto& [name, field] : fields) {
        const auto& value = item.*field;
        if (!value) continue;
        if (!foundation::isValidUtf8(*value)) return std::nullopt;
        attributes[name] = *value;
    }
    return attributes;
}

KeychainItem itemOf(const SecretService::Attributes& attributes) {
    KeychainItem item;
    for (const auto& [name, field] : fields) {
        if (const auto found = attributes.find(name); found != attributes.end()) item.*field = found->second;
    }
    if (const auto found = attributes.find(persistentRefAttribute); found != attributes.end()) item.persistentRef = found->second;
    return item;
}

// What a keyring tool shows for the item.
std::string labelOf(const KeychainItem& item) {
    return item.service.value_or("") + " (" + item.account.value_or("") + ")";
}
}  // namespace

std::optional<Error> SecretServiceKeychainStore::lastProblem() const {
    std::lock_guard lock(mutex_);
    return lastProblem_;
}

OSStatus SecretServiceKeychainStore::failed(const Error& error) const {
    lastProblem_ = error;
    return error.code;
}

std::optional<std::vector<SecretServiceKeychainStore::Found>> SecretServiceKeychainStore::items() const {
    auto paths = service_->searchItems({{schemaAttribute, schema}});
    if (!paths) {
        failed(paths.error());
        return std::nullopt;
    }
    std::vector<std::pair<std::uint64_t, Found>> found;
    for (const auto& path : paths.value()) {
        auto attributes = service_->attributes(path);
        auto created = service_->created(path);
        if (!attributes || !created) {
            failed(attributes ? created.error() : attributes.error());
            return std::nullopt;
        }
        found.emplace_back(created.value(), Found{path, itemOf(attributes.value())});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Found> items;
    items.reserve(found.size());
    for (auto& [created, item] : found) items.push_back(std::move(item));
    return items;
}

OSStatus SecretServiceKeychainStore::add(KeychainItem item) {
    std::lock_guard lock(mutex_);
    item.persistentRef = newPersistentRef();
    const auto attributes = attributesOf(item);
    if (!attributes) return failed(Error{errSecParam, "The Secret Service keeps only attributes that are UTF-8 text"});
    const auto existing = items();
    if (!existing) return lastProblem_->code;
    if (std::any_of(existing->begin(), existing->end(), [&](const Found& found) { return sharePrimaryKey(found.item, item); })) {
        return errSecDuplicateItem;
    }
    const auto created = service_->createItem(labelOf(item), *attributes, item.valueData);
    return created ? errSecSuccess : failed(created.error());
}

OSStatus SecretServiceKeychainStore::update(const KeychainQuery& query, const std::string& valueData) {
    return changeEachMatch(query, [&](const std::string& path) { return service_->setSecret(path, valueData); });
}

OSStatus SecretServiceKeychainStore::remove(const KeychainQuery& query) {
    return changeEachMatch(query, [&](const std::string& path) { return service_->deleteItem(path); });
}

OSStatus SecretServiceKeychainStore::changeEachMatch(
    const KeychainQuery& query, const std::function<foundation::Expected<void>(const std::string& path)>& change) {
    std::lock_guard lock(mutex_);
    const auto existing = items();
    if (!existing) return lastProblem_->code;
    OSStatus status = errSecItemNotFound;
    for (const auto& found : *existing) {
        if (!query.matches(found.item)) continue;
        const auto changed = change(found.path);
        if (!changed) return failed(changed.error());
        status = errSecSuccess;
    }
    return status;
}

KeychainStore::Match SecretServiceKeychainStore::copyMatching(const KeychainQuery& query, MatchLimit limit) const {
    std::lock_guard lock(mutex_);
    const auto existing = items();
    if (!existing) return Match{lastProblem_->code, {}};
    Match match;
    for (const auto& found : *existing) {
        if (!query.matches(found.item)) continue;
        auto value = service_->secret(found.path);
        if (!value) return Match{failed(value.error()), {}};
        match.items.push_back(found.item);
        match.items.back().valueData = std::move(value.value());
        if (limit == MatchLimit::one) break;
    }
    match.status = match.items.empty() ? errSecItemNotFound : errSecSuccess;
    return match;
}

}  // namespace platform::security
