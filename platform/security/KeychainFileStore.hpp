#pragma once

#include "platform/security/KeychainStore.hpp"

#include <mutex>

namespace platform::security {

// A keychain kept in a file of the user's own (mode 0600, folder 0700: that is its whole
// protection) and rewritten atomically on every change. Byte-valued attributes and values are
// Base64 in the file, an encoding so that any bytes survive JSON, not a protection. Every
// operation reads the file anew, so two processes sharing a keychain see each other's changes.
class KeychainFileStore : public KeychainStore {
public:
    explicit KeychainFileStore(std::filesystem::path file) : file_(std::move(file)) {}

    std::optional<foundation::Error> lastProblem() const override;

    [[nodiscard]] OSStatus add(KeychainItem item) override;
    [[nodiscard]] OSStatus update(const KeychainQuery& query, const std::string& valueData) override;
    [[nodiscard]] OSStatus remove(const KeychainQuery& query) override;
    Match copyMatching(const KeychainQuery& query, MatchLimit limit) const override;

private:
    std::optional<std::vector<KeychainItem>> load() const;
    [[nodiscard]] OSStatus save(const std::vector<KeychainItem>& items) const;

    const std::filesystem::path file_;
    mutable std::mutex mutex_;
    mutable std::optional<foundation::Error> lastProblem_;
};

}  // namespace platform::security
