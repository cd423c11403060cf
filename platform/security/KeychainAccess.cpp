#include "platform/security/KeychainAccess.hpp"

#include "platform/security/SecStatus.hpp"

namespace platform::security {

foundation::Expected<KeychainAccess> KeychainAccess::create(std::string description,
                                                            std::vector<TrustedApplication> trustedApplications,
                                                            const KeychainFaults* faults) {
    if (description.empty()) return foundation::Error{errSecParam, "An access object needs a description"};
    if (faults && faults->fails(KeychainStep::createAccess)) {
        return foundation::Error{errSecParam, "The access object could not be created"};
    }
    return KeychainAccess(std::move(description), std::move(trustedApplications));
}

}  // namespace platform::security
