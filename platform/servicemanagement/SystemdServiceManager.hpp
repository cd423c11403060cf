#pragma once

#include "platform/servicemanagement/ServiceManager.hpp"
#include "platform/servicemanagement/SystemdJobPaths.hpp"

#include <memory>
#include <string>
#include <vector>

namespace platform::servicemanagement {

// The real service manager: systemd jobs of the system domain. Describing a job reads its
// installed service unit; installing and removing run the bundle's own copy of the job's program
// as root (through the authorization), which carries out `SystemdJobInstaller`.
class SystemdServiceManager final : public ServiceManager {
public:
    // The options the job's program takes to install or remove itself as root.
    static constexpr const char* blessOption = "--bless-job";
    static constexpr const char* removeOption = "--remove-job";
    static constexpr const char* allowUidOption = "--allow-uid";
    // Names another folder in which `shared()` looks for the installed job's units.
    static constexpr const char* unitFolderEnvironment = "CORVANTIS_SYSTEMD_UNIT_DIR";

    explicit SystemdServiceManager(SystemdJobPaths paths = {});
    static std::shared_ptr<SystemdServiceManager> shared();

    std::optional<nlohmann::json> copyJobDictionary(std::string_view domain, std::string_view label) override;
    bool removeJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                   foundation::DomainError* error) override;
    bool blessJob(std::string_view domain, std::string_view label, const security::Authorization& authorization,
                  foundation::DomainError* error) override;

private:
    bool runAsRoot(std::string_view label, std::vector<std::string> arguments, const security::Authorization& authorization,
                   foundation::DomainError* error) const;

    const SystemdJobPaths paths_;
};

}  // namespace platform::servicemanagement
