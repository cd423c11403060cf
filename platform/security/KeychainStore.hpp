#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/security/KeychainItem.hpp"
#include "platform/security/SecStatus.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

namespace platform::security {

// The generic-password items of one keychain, with the keychain's status codes.
//
// Two items are the same item when service, account and access group are equal (the keychain's
// primary key); adding a second one fails with `errSecDuplicateItem`.
class KeychainStore {
public:
    enum class MatchLimit { one, all };

    struct Match {
        OSStatus status = errSecItemNotFound;
        std::vector<KeychainItem> items;  // in the order they were added
    };

    virtual ~KeychainStore() = default;

    // The keychain in force: the installed platform services' one, else the user's own.
    static std::shared_ptr<KeychainStore> standard();
    // The user's own keychain, chosen once per process by `forSession` with the file
    // "corvantis/keychain.json" in the user's configuration folder, beside the user defaults.
    static std::shared_ptr<KeychainStore> standardForCurrentUser();
    // The session's Secret Service when the session bus has one running, with the items of
    // `file` moved into it; else the keychain kept in `file`.
    static std::shared_ptr<KeychainStore> forSession(std::filesystem::path file);
    // The keychain kept in `file`, private to its owner (see KeychainFileStore).
    static std::shared_ptr<KeychainStore> open(std::filesystem::path file);

    // What went wrong most recently (a damaged file set aside, a failed write, a locked keyring).
    virtual std::optional<foundation::Error> lastProblem() const = 0;

    // Adds an item; its persistent reference is made here.
    [[nodiscard]] virtual OSStatus add(KeychainItem item) = 0;
    // Gives every matching item the new value; `errSecItemNotFound` when none matches.
    [[nodiscard]] virtual OSStatus update(const KeychainQuery& query, const std::string& valueData) = 0;
    // Removes every matching item; `errSecItemNotFound` when none matches.
    [[nodiscard]] virtual OSStatus remove(const KeychainQuery& query) = 0;
    // The first matching item, or all of them.
    virtual Match copyMatching(const KeychainQuery& query, MatchLimit limit) const = 0;
};

}  // namespace platform::security
