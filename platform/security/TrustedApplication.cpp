#include "platform/security/TrustedApplication.hpp"

#include "platform/security/SecStatus.hpp"

namespace platform::security {

foundation::Expected<TrustedApplication> TrustedApplication::createFromPath(const std::filesystem::path& path,
                                                                            const KeychainFaults* faults) {
    std::error_code error;
    if ((faults && faults->fails(KeychainStep::createTrustedApplication)) || !std::filesystem::exists(path, error)) {
        return foundation::Error{errSecItemNotFound, "No application at " + path.string()};
    }
    return TrustedApplication(path);
}

}  // namespace platform::security
