#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/security/KeychainItem.hpp"

#include <optional>
#include <string>
#include <vector>

namespace corvantis {

// Generic passwords of the user's keychain by service and account. Failures come back as
// false or none and, when an error place is given, as an error in "com.tarnwisle.rvkeychain"
// whose code is the keychain's status (-1001 for a missing argument).
class RVKeychain {
public:
    using Text = std::optional<std::string>;
    using ErrorPlace = platform::foundation::DomainError*;

    static constexpr const char* errorDomain = "com.tarnwisle.rvkeychain";
    static constexpr long missingArgumentCode = -1001;

    RVKeychain() = delete;

    // Every generic-password item's attributes (no passwords); none on failure.
    static std::optional<std::vector<platform::security::KeychainItem>> allAccounts(ErrorPlace error = nullptr);
    // The attributes of the service's items, or of every item when no service is given.
    static std::optional<std::vector<platform::security::KeychainItem>> accountsForService(const Text& service,
                                                                                           ErrorPlace error = nullptr);
    // The password as UTF-8 text; none for no item and for an empty one.
    static Text passwordForService(const Text& service, const Text& account, ErrorPlace error = nullptr);
    static Text passwordDataForService(const Text& service, const Text& account, ErrorPlace error = nullptr);
    static bool deletePasswordForService(const Text& service, const Text& account, ErrorPlace error = nullptr);
    // Replaces any item of the same service and account with a new one.
    static bool setPassword(const Text& password, const Text& service, const Text& account, ErrorPlace error = nullptr);
    static bool setPasswordData(const Text& password, const Text& service, const Text& account, ErrorPlace error = nullptr);
};

}  // namespace corvantis
