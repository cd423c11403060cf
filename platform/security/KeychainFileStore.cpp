#include "platform/security/KeychainFileStore.hpp"

#include "platform/foundation/Base64.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <nlohmann/json.hpp>

namespace platform::security {

namespace fs = foundation::FileSystem;
using foundation::Error;

namespace {
constexpr int fileFormatVersion = 1;

// Every byte-valued attribute is stored as Base64, so any bytes survive the JSON file.
void putBytes(nlohmann::json& record, const char* key, const std::optional<std::string>& value) {
    if (value) record[key] = foundation::Base64::encode(*value);
}

std::optional<std::optional<std::string>> takeBytes(const nlohmann::json& record, const char* key) {
    const auto found = record.find(key);
    if (found == record.end()) return std::optional<std::string>();
    if (!found->is_string()) return std::nullopt;
    auto bytes = foundation::Base64::decode(found->get<std::string>());
    if (!bytes) return std::nullopt;
    return std::optional<std::string>(std::move(bytes));
}

nlohmann::json recordOf(const KeychainItem& item) {
    nlohmann::json record = nlohmann::json::object();
    putBytes(record, "service", item.service);
    putBytes(record, "account", item.account);
    putBytes(record, "generic", item.generic);
    putBytes(record, "accessGroup", item.accessGroup);
    putBytes(record, "accessible", item.accessible);
    putBytes(record, "data", item.valueData);
    putBytes(record, "persistentRef", item.persistentRef);
    return record;
}

std::optional<KeychainItem> itemOf(const nlohmann::json& record) {
    if (!record.is_object()) return std::nullopt;
    KeychainItem item;
    for (auto [key, field] :
         {std::pair{"service", &item.service}, std::pair{"account", &item.account}, std::pair{"generic", &item.generic},
          std::pair{"accessGroup", &item.accessGroup}, std::pair{"accessible", &item.accessible}}) {
        auto value = takeBytes(record, key);
        if (!value) return std::nullopt;
        *field = std::move(*value);
    }
    auto data = takeBytes(record, "data");
    auto reference = takeBytes(record, "persistentRef");
    if (!data || !reference || !*reference) return std::nullopt;
    item.valueData = data->value_or("");
    item.persistentRef = **reference;
    return item;
}

std::optional<std::vector<KeychainItem>> itemsOf(const std::string& content) {
    const auto document = nlohmann::json::parse(content, nullptr, false);
    if (!document.is_object() || !document.contains("items") || !document["items"].is_array()) return std::nullopt;
    std::vector<KeychainItem> items;
    for (const auto& record : document["items"]) {
        auto item = itemOf(record);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
    }
    return items;
}

}  // namespace

std::optional<Error> KeychainFileStore::lastProblem() const {
    std::lock_guard lock(mutex_);
    return lastProblem_;
}

std::optional<std::vector<KeychainItem>> KeychainFileStore::load() const {
    if (!fs::fileExists(file_)) return std::vector<KeychainItem>();
    auto content = fs::readFile(file_);
    if (!content) {
        lastProblem_ = content.error();
        return std::nullopt;
    }
    if (auto items = itemsOf(content.value())) return items;
    // A damaged keychain is kept aside, never overwritten, and a fresh one starts.
    const auto aside = fs::moveAsideDamagedFile(file_);
    if (!aside) {
        lastProblem_ = Error{aside.error().code, "The keychain " + file_.string() +
                                                     " is damaged and could not be moved aside: " + aside.error().message};
        return std::nullopt;
    }
    lastProblem_ = Error{EINVAL, "The keychain " + file_.string() + " was damaged; it was kept as " + aside.value().string() +
                                     " and a new one was started"};
    return std::vector<KeychainItem>();
}

OSStatus KeychainFileStore::save(const std::vector<KeychainItem>& items) const {
    nlohmann::json records = nlohmann::json::array();
    for (const auto& item : items) records.push_back(recordOf(item));
    const nlohmann::json document{{"version", fileFormatVersion}, {"items", std::move(records)}};
    if (auto folder = fs::createDirectories(file_.parent_path(), 0700); !folder) {
        lastProblem_ = folder.error();
        return errSecIO;
    }
    if (auto written = fs::writeFileAtomically(file_, document.dump(), 0600); !written) {
        lastProblem_ = written.error();
        return errSecIO;
    }
    return errSecSuccess;
}

OSStatus KeychainFileStore::add(KeychainItem item) {
    std::lock_guard lock(mutex_);
    auto items = load();
    if (!items) return errSecIO;
    for (const auto& existing : *items) {
        if (sharePrimaryKey(existing, item)) return errSecDuplicateItem;
    }
    item.persistentRef = newPersistentRef();
    items->push_back(std::move(item));
    return save(*items);
}

OSStatus KeychainFileStore::update(const KeychainQuery& query, const std::string& valueData) {
    std::lock_guard lock(mutex_);
    auto items = load();
    if (!items) return errSecIO;
    bool found = false;
    for (auto& item : *items) {
        if (!query.matches(item)) continue;
        item.valueData = valueData;
        found = true;
    }
    return found ? save(*items) : errSecItemNotFound;
}

OSStatus KeychainFileStore::remove(const KeychainQuery& query) {
    std::lock_guard lock(mutex_);
    auto items = load();
    if (!items) return errSecIO;
    const auto removed = std::erase_if(*items, [&](const KeychainItem& item) { return query.matches(item); });
    return removed > 0 ? save(*items) : errSecItemNotFound;
}

KeychainStore::Match KeychainFileStore::copyMatching(const KeychainQuery& query, MatchLimit limit) const {
    std::lock_guard lock(mutex_);
    const auto items = load();
    if (!items) return Match{errSecIO, {}};
    Match match;
    for (const auto& item : *items) {
        if (!query.matches(item)) continue;
        match.items.push_back(item);
        if (limit == MatchLimit::one) break;
    }
    match.status = match.items.empty() ? errSecItemNotFound : errSecSuccess;
    return match;
}

}  // namespace platform::security
