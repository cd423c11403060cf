#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/security/KeychainAccess.hpp"
#include "platform/security/KeychainFile.hpp"
#include "platform/security/KeychainStep.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

namespace platform::security {

// The attributes and the secret of one generic-password item.
struct GenericPasswordItem {
    std::string label;
    std::string account;
    std::string service;
    std::string description;
    std::string password;
};

// The machine-wide keychain that root keeps for system services: a root-only file (0600 in a
// 0700 folder). Failures carry the keychain's status codes in `Error::code`.
class SystemKeychain {
public:
    // The system keychain kept in `file`; refused (errSecIO) when its folder cannot be made
    // private to the helper's user.
    static foundation::Expected<std::shared_ptr<SystemKeychain>> copyDomainDefault(
        std::filesystem::path file, std::shared_ptr<KeychainFaults> faults = nullptr);

    // Makes sure the keychain can be used: its file, when there is one, is private and readable.
    foundation::Expected<void> unlock() const;

    // Adds an item; errSecDuplicateItem when one with the same service and account exists,
    // errSecParam for attributes that are not UTF-8 text, errSecIO when the file cannot be written.
    foundation::Expected<void> createItem(const GenericPasswordItem& item, const KeychainAccess& access) const;

    // The secret of the generic-password item for `service` and `account`; errSecItemNotFound
    // when there is none.
    foundation::Expected<std::string> copyPassword(const std::string& service, const std::string& account) const;

    const std::filesystem::path& file() const { return file_.path(); }

private:
    SystemKeychain(std::filesystem::path file, std::shared_ptr<KeychainFaults> faults)
        : file_(std::move(file)), faults_(std::move(faults)) {}
    bool fails(KeychainStep step) const { return faults_ && faults_->fails(step); }

    KeychainFile file_;
    std::shared_ptr<KeychainFaults> faults_;
    mutable std::mutex mutex_;
};

}  // namespace platform::security
