#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/security/KeychainItem.hpp"
#include "platform/security/SecStatus.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace platform::security {

// The generic-password items of one keychain, kept in a file of the user's own (mode 0600,
// folder 0700) and rewritten atomically on every change. Every operation reads the file anew,
// so two processes sharing a keychain see each other's changes.
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

    // The keychain in force: the installed platform services' one, else the user's own.
    static std::shared_ptr<KeychainStore> standard();
    // "corvantis/keychain.json" in the user's configuration folder, beside the user defaults.
    static std::shared_ptr<KeychainStore> standardForCurrentUser();
    static std::shared_ptr<KeychainStore> open(std::filesystem::path file);

    const std::filesystem::path& file() const { return file_; }
    // What went wrong with the file most recently (a damaged file set aside, a failed write).
    std::optional<foundation::Error> lastProblem() const;

    // Adds an item; its persistent reference is made here.
    [[nodiscard]] OSStatus add(KeychainItem item);
    // Gives every matching item the new value; `errSecItemNotFound` when none matches.
    [[nodiscard]] OSStatus update(const KeychainQuery& query, const std::string& valueData);
    // Removes every matching item; `errSecItemNotFound` when none matches.
    [[nodiscard]] OSStatus remove(const KeychainQuery& query);
    // The first matching item, or all of them.
    Match copyMatching(const KeychainQuery& query, MatchLimit limit) const;

private:
    explicit KeychainStore(std::filesystem::path file) : file_(std::move(file)) {}
    std::optional<std::vector<KeychainItem>> load() const;
    [[nodiscard]] OSStatus save(const std::vector<KeychainItem>& items) const;

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    mutable std::optional<foundation::Error> lastProblem_;
};

}  // namespace platform::security
