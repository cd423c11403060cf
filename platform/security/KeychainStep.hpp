#pragma once

#include "platform/foundation/Faults.hpp"

namespace platform::security {

// The keychain operations a test can make fail.
enum class KeychainStep {
    copyDomainDefault,
    unlock,
    createAccess,
    createTrustedApplication,
    createItem,
};

using KeychainFaults = foundation::Faults<KeychainStep>;

}  // namespace platform::security
