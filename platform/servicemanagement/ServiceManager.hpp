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

// The job dictionary's list of the users the job serves (user ids), root among them.
inline constexpr std::string_view jobAllowedUsersKey = "AllowedUsers";

// Where a privileged helper ships inside the application bundle, relative to the bundle.
inline constexpr std::string_view helperFolderInBundle = "Contents/Library/LaunchServices";

// Installs, describes and removes privileged jobs: programs that run as root, started on
// demand when a client connects to their service. Product code reaches it through the
// platform services, so tests can use a fake.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    // The installed job's description: "Label", "ProgramArguments" with the installed
    // program's path first, and `jobAllowedUsersKey`. None when no such job is installed.
    virtual std::optional<nlohmann::json> copyJobDictionary(std::string_view domain, std::string_view label) = 0;

    // Stops the job and removes it. False with `error` set when that failed.
    virtual bool removeJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                           foundation::DomainError* error) = 0;

    // Installs the program "<helperFolderInBundle>/<label>" of the main bundle as the job, for
    // the user running this process. False with `error` set when that failed.
    virtual bool blessJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                          foundation::DomainError* error) = 0;

    // Replaces the installed job by the main bundle's program in one authorized step, so that an
    // update asks for the password once: the installed job is stopped and removed, then the
    // program installed as `blessJob` installs it. False with `removeError` set when the
    // installed job could not be removed (nothing was installed then), with `blessError` set when
    // installing failed.
    virtual bool replaceJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                            foundation::DomainError* removeError, foundation::DomainError* blessError) = 0;

    // Adds the user running this process to the installed job's users (naming the main bundle as
    // the application it serves), in one authorized step. False with `error` set when that failed.
    virtual bool allowJobUser(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                              foundation::DomainError* error) = 0;
};

}  // namespace platform::servicemanagement
