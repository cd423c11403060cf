#pragma once

#include "platform/foundation/DomainError.hpp"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>

namespace platform::security {
class Authorization;
}

namespace platform::servicemanagement {

// The domain of jobs that run as root for the whole system.
inline constexpr std::string_view kSMDomainSystemLaunchd = "system";

// Errors of the job operations themselves (not of the authorization).
inline constexpr std::string_view kSMErrorDomainFramework = "kSMErrorDomainFramework";
inline constexpr long kSMErrorInternalFailure = 2;
inline constexpr long kSMErrorToolNotValid = 5;
inline constexpr long kSMErrorJobNotFound = 6;
inline constexpr long kSMErrorServiceUnavailable = 7;

// Where a privileged helper ships inside the application bundle, relative to the bundle.
inline constexpr std::string_view helperFolderInBundle = "Contents/Library/LaunchServices";

// Installs, describes and removes privileged jobs: programs that run as root, started on
// demand when a client connects to their service. Product code reaches it through the
// platform services, so tests can use a fake.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    // The installed job's description: "Label", and "ProgramArguments" with the installed
    // program's path first. None when no such job is installed.
    virtual std::optional<nlohmann::json> copyJobDictionary(std::string_view domain, std::string_view label) = 0;

    // Stops the job and removes it. False with `error` set when that failed.
    virtual bool removeJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                           foundation::DomainError* error) = 0;

    // Installs the program "<helperFolderInBundle>/<label>" of the main bundle as the job, for
    // the user running this process. False with `error` set when that failed.
    virtual bool blessJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                          foundation::DomainError* error) = 0;
};

}  // namespace platform::servicemanagement
