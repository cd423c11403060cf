#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/security/KeychainStep.hpp"
#include "platform/security/TrustedApplication.hpp"

#include <string>
#include <vector>

namespace platform::security {

// Who may read an item without being asked: the access object of an item, with its
// description and the trusted applications.
class KeychainAccess {
public:
    static foundation::Expected<KeychainAccess> create(std::string description,
                                                       std::vector<TrustedApplication> trustedApplications,
                                                       const KeychainFaults* faults = nullptr);

    const std::string& description() const { return description_; }
    const std::vector<TrustedApplication>& trustedApplications() const { return trustedApplications_; }

private:
    KeychainAccess(std::string description, std::vector<TrustedApplication> trustedApplications)
        : description_(std::move(description)), trustedApplications_(std::move(trustedApplications)) {}

    std::string description_;
    std::vector<TrustedApplication> trustedApplications_;
};

}  // namespace platform::security
