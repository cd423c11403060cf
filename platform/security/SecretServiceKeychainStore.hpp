#pragma once

#include "platform/security/KeychainStore.hpp"
#include "platform/security/SecretService.hpp"

#include <functional>
#include <mutex>

namespace platform::security {

// A keychain whose items live in the desktop's Secret Service, where the keyring keeps them
// encrypted under the user's login password. Each item carries its attributes as the Secret
// Service's lookup attributes ("service", "account", "generic", "accessGroup", "accessible",
// "persistentRef", and "xdg:schema" naming this keychain's items), so the same service and key
// find it again. Attributes must be UTF-8 text there: other bytes are refused with
// `errSecParam`. A locked keyring that only the user could unlock answers
// `errSecInteractionNotAllowed`.
class SecretServiceKeychainStore : public KeychainStore {
public:
    explicit SecretServiceKeychainStore(std::unique_ptr<SecretService> service) : service_(std::move(service)) {}

    std::optional<foundation::Error> lastProblem() const override;

    [[nodiscard]] OSStatus add(KeychainItem item) override;
    [[nodiscard]] OSStatus update(const KeychainQuery& query, const std::string& valueData) override;
    [[nodiscard]] OSStatus remove(const KeychainQuery& query) override;
    Match copyMatching(const KeychainQuery& query, MatchLimit limit) const override;

private:
    struct Found {
        std::string path;
        KeychainItem item;  // without its value
    };

    // This keychain's items, oldest first; none on failure (told in `lastProblem_`).
    std::optional<std::vector<Found>> items() const;
    // Applies `change` to every item the query matches; stops at the first that fails.
    OSStatus changeEachMatch(const KeychainQuery& query,
                             const std::function<foundation::Expected<void>(const std::string& path)>& change);
    OSStatus failed(const foundation::Error& error) const;

    const std::unique_ptr<SecretService> service_;
    mutable std::mutex mutex_;
    mutable std::optional<foundation::Error> lastProblem_;
};

}  // namespace platform::security
