#include "app/RVKeychain.hpp"

#include "platform/security/KeychainStore.hpp"

namespace corvantis {

namespace {
using platform::security::KeychainQuery;
using platform::security::KeychainStore;
using platform::security::OSStatus;

KeychainQuery queryForService(const RVKeychain::Text& service, const RVKeychain::Text& account) {
    KeychainQuery query;
    query.service = service;
    query.account = account;
    return query;
}

// Reports a non-zero status into the error place, when there is one; true for success.
bool succeeded(OSStatus status, RVKeychain::ErrorPlace error) {
    if (status == platform::security::errSecSuccess) return true;
    if (error != nullptr) *error = platform::foundation::DomainError{RVKeychain::errorDomain, status, {}};
    return false;
}
}  // namespace

std::optional<std::vector<platform::security::KeychainItem>> RVKeychain::allAccounts(ErrorPlace error) {
    return accountsForService(std::nullopt, error);
}

std::optional<std::vector<platform::security::KeychainItem>> RVKeychain::accountsForService(const Text& service,
                                                                                            ErrorPlace error) {
    auto match = KeychainStore::standard()->copyMatching(queryForService(service, std::nullopt), KeychainStore::MatchLimit::all);
    if (!succeeded(match.status, error)) return std::nullopt;
    for (auto& item : match.items) item.valueData.clear();
    return std::move(match.items);
}

RVKeychain::Text RVKeychain::passwordForService(const Text& service, const Text& account, ErrorPlace error) {
    auto data = passwordDataForService(service, account, error);
    if (!data || data->empty()) return std::nullopt;
    return data;
}

RVKeychain::Text RVKeychain::passwordDataForService(const Text& service, const Text& account, ErrorPlace error) {
    if (!service || !account) {
        succeeded(missingArgumentCode, error);
        return std::nullopt;
    }
    auto match = KeychainStore::standard()->copyMatching(queryForService(service, account), KeychainStore::MatchLimit::one);
    if (!succeeded(match.status, error)) return std::nullopt;
    return std::move(match.items.front().valueData);
}

bool RVKeychain::deletePasswordForService(const Text& service, const Text& account, ErrorPlace error) {
    const OSStatus status = service && account ? KeychainStore::standard()->remove(queryForService(service, account))
                                               : static_cast<OSStatus>(missingArgumentCode);
    return succeeded(status, error);
}

bool RVKeychain::setPassword(const Text& password, const Text& service, const Text& account, ErrorPlace error) {
    return setPasswordData(password, service, account, error);
}

bool RVKeychain::setPasswordData(const Text& password, const Text& service, const Text& account, ErrorPlace error) {
    if (!password || !service || !account) return succeeded(static_cast<OSStatus>(missingArgumentCode), error);
    deletePasswordForService(service, account);
    platform::security::KeychainItem item;
    item.service = service;
    item.account = account;
    item.valueData = *password;
    return succeeded(KeychainStore::standard()->add(std::move(item)), error);
}

}  // namespace corvantis
