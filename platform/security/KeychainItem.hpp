#pragma once

#include <optional>
#include <string>

namespace platform::security {

// A generic-password item. Byte-valued attributes are held as byte strings.
struct KeychainItem {
    std::optional<std::string> service{};
    std::optional<std::string> account{};
    std::optional<std::string> generic{};
    std::optional<std::string> accessGroup{};
    // When the item may be read, e.g. `accessibleWhenUnlocked`.
    std::optional<std::string> accessible{};
    std::string valueData;
    // Opaque handle that finds this very item again; given by the store when the item is added.
    std::string persistentRef;

    bool operator==(const KeychainItem&) const = default;
};

inline constexpr const char* accessibleWhenUnlocked = "ak";

// The keychain's primary key for generic passwords: service, account and access group.
bool sharePrimaryKey(const KeychainItem& a, const KeychainItem& b);
// A new opaque handle for an item being added.
std::string newPersistentRef();

// Selects items: every attribute given must equal the item's; attributes left out match anything.
struct KeychainQuery {
    std::optional<std::string> service{};
    std::optional<std::string> account{};
    std::optional<std::string> generic{};
    std::optional<std::string> accessGroup{};
    std::optional<std::string> persistentRef{};

    bool matches(const KeychainItem& item) const;
};

}  // namespace platform::security
