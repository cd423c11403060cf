#pragma once

#include "platform/servicemanagement/JobCommand.hpp"
#include "platform/servicemanagement/ServiceManager.hpp"
#include "platform/servicemanagement/SystemdJobPaths.hpp"

#include <memory>
#include <string>
#include <vector>

namespace platform::servicemanagement {

// The real service manager: systemd jobs of the system domain. Describing a job reads its
// installed service unit and configuration; installing, updating, adding a user and removing
// each run the bundle's own copy of the job's program as root once (through the authorization),
// with a `JobCommand` that it carries out.
class SystemdServiceManager final : public ServiceManager {
public:
    // Names another folder in which `shared()` looks for the installed job's units and
    // configuration (a development or test set-up).
    static constexpr const char* unitFolderEnvironment = "CORVANTIS_SYSTEMD_UNIT_DIR";

    explicit SystemdServiceManager(SystemdJobPaths paths = {});
    static std::shared_ptr<SystemdServiceManager> shared();

    std::optional<nlohmann::json> copyJobDictionary(std::string_view domain, std::string_view label) override;
    bool removeJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                   foundation::DomainError* error) override;
    bool blessJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                  foundation::DomainError* error) override;
    bool replaceJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                    foundation::DomainError* removeError, foundation::DomainError* blessError) override;
    bool allowJobUser(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                      foundation::DomainError* error) override;

private:
    // The command for the label, serving this process's user and the main bundle.
    JobCommand commandFor(JobCommand::Action action, std::string_view label) const;
    // Runs the command as root; a removal that failed within a blessing goes to `removeError`
    // when one is given.
    bool runAsRoot(const JobCommand& command, const security::Authorization& authorization, foundation::DomainError* error,
                   foundation::DomainError* removeError = nullptr) const;
    // Installing needs systemd: without it the password would be asked for in vain.
    bool requireSystemd(foundation::DomainError* error) const;

    const SystemdJobPaths paths_;
};

}  // namespace platform::servicemanagement
