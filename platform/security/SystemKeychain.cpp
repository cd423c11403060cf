#include "platform/security/SystemKeychain.hpp"

#include "platform/foundation/Utf8.hpp"
#include "platform/security/SecStatus.hpp"

#include <nlohmann/json.hpp>

namespace platform::security {

using foundation::Error;
using foundation::Expected;

namespace {

Error withStatus(OSStatus status, const std::string& what, const Error& cause) {
    return Error{status, what + ": " + cause.message};
}

nlohmann::json recordOf(const GenericPasswordItem& item, const KeychainAccess& access) {
    nlohmann::json trusted = nlohmann::json::array();
    for (const auto& application : access.trustedApplications()) trusted.push_back(application.path().string());
    return {{"class", "genp"},
            {"label", item.label},
            {"account", item.account},
            {"service", item.service},
            {"description", item.description},
            {"data", item.password},
            {"access", {{"description", access.description()}, {"trustedApplications", trusted}}}};
}

}  // namespace

Expected<std::shared_ptr<SystemKeychain>> SystemKeychain::copyDomainDefault(std::filesystem::path file,
                                                                            std::shared_ptr<KeychainFaults> faults) {
    if (faults && faults->fails(KeychainStep::copyDomainDefault)) {
        return Error{errSecIO, "The system keychain is not available"};
    }
    std::shared_ptr<SystemKeychain> keychain(new SystemKeychain(std::move(file), std::move(faults)));
    if (auto prepared = keychain->file_.prepareFolder(); !prepared) {
        return withStatus(errSecIO, "The system keychain's folder is not usable", prepared.error());
    }
    return keychain;
}

Expected<void> SystemKeychain::unlock() const {
    if (fails(KeychainStep::unlock)) return Error{errSecIO, "The system keychain could not be unlocked"};
    std::lock_guard lock(mutex_);
    if (auto items = file_.readItems(); !items) return withStatus(errSecIO, "Cannot unlock the system keychain", items.error());
    return {};
}

Expected<void> SystemKeychain::createItem(const GenericPasswordItem& item, const KeychainAccess& access) const {
    for (const auto* text : {&item.label, &item.account, &item.service, &item.description, &item.password}) {
        if (!foundation::isValidUtf8(*text)) return Error{errSecParam, "A keychain attribute is not UTF-8 text"};
    }
    if (fails(KeychainStep::createItem)) return Error{errSecIO, "The item could not be created"};
    std::lock_guard lock(mutex_);
    auto items = file_.readItems();
    if (!items) return withStatus(errSecIO, "Cannot read the system keychain", items.error());
    for (const auto& existing : items.value()) {
        if (existing.value("class", "") == "genp" && existing.value("service", "") == item.service &&
            existing.value("account", "") == item.account) {
            return Error{errSecDuplicateItem, "The system keychain already holds an item for that service and account"};
        }
    }
    items.value().push_back(recordOf(item, access));
    if (auto written = file_.writeItems(items.value()); !written) {
        return withStatus(errSecIO, "Cannot write the system keychain", written.error());
    }
    return {};
}

Expected<std::string> SystemKeychain::copyPassword(const std::string& service, const std::string& account) const {
    std::lock_guard lock(mutex_);
    auto items = file_.readItems();
    if (!items) return withStatus(errSecIO, "Cannot read the system keychain", items.error());
    for (const auto& item : items.value()) {
        if (item.value("class", "") == "genp" && item.value("service", "") == service && item.value("account", "") == account) {
            return item.value("data", "");
        }
    }
    return Error{errSecItemNotFound, "The system keychain holds no item for that service"};
}

}  // namespace platform::security
