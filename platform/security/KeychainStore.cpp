#include "platform/security/KeychainStore.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/ReplacementFile.hpp"
#include "platform/foundation/UserDirectories.hpp"
#include "platform/security/KeychainFileStore.hpp"
#include "platform/security/SecretServiceKeychainStore.hpp"

namespace platform::security {

namespace {
// Moves every item of `from` into `to`; an item that `to` refuses stays where it was.
void moveItems(KeychainStore& from, KeychainStore& to) {
    for (const auto& item : from.copyMatching(KeychainQuery{}, KeychainStore::MatchLimit::all).items) {
        const KeychainQuery sameItem{.service = item.service, .account = item.account, .accessGroup = item.accessGroup};
        auto status = to.add(item);
        if (status == errSecDuplicateItem) status = to.update(sameItem, item.valueData);
        if (status == errSecSuccess) (void)from.remove(KeychainQuery{.persistentRef = item.persistentRef});
    }
}
}  // namespace

std::shared_ptr<KeychainStore> KeychainStore::standard() {
    return Services::current().keychain();
}

std::shared_ptr<KeychainStore> KeychainStore::standardForCurrentUser() {
    static auto* store =
        new std::shared_ptr<KeychainStore>(forSession(foundation::configurationHome() / "corvantis" / "keychain.json"));
    return *store;
}

std::shared_ptr<KeychainStore> KeychainStore::forSession(std::filesystem::path file) {
    auto inFile = open(std::move(file));
    auto service = SecretService::connect();
    if (!service) return inFile;
    auto inService = std::make_shared<SecretServiceKeychainStore>(std::move(service));
    // Items an earlier run kept in the file belong in the keyring now, and the file keeps no secret.
    moveItems(*inFile, *inService);
    return inService;
}

std::shared_ptr<KeychainStore> KeychainStore::open(std::filesystem::path file) {
    platform::foundation::ReplacementFile::removeStaleTemporaries(file);
    return std::make_shared<KeychainFileStore>(std::move(file));
}

}  // namespace platform::security
