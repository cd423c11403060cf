#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"
#include "platform/servicemanagement/SystemdJobPaths.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <sys/types.h>

namespace platform::servicemanagement {

// The part of installing and removing a job that runs as root: the program copied into the
// libexec folder, the socket and service units written and the socket enabled, and the job's
// configuration naming whom and what it serves (`JobConfiguration`).
class SystemdJobInstaller {
public:
    // The home folder of a user the job serves; none when the user has none.
    using HomeLookup = std::function<std::optional<std::filesystem::path>(uid_t)>;

    SystemdJobInstaller(SystemdJobPaths paths, std::shared_ptr<foundation::ProcessLauncher> launcher, HomeLookup homes = {});

    bool isInstalled(std::string_view label) const;
    // Installs `program` as the job `label`, serving `client`. Remove an installed job of that
    // label first: its running program would otherwise stay.
    foundation::Expected<void> bless(std::string_view label, const std::filesystem::path& program,
                                     const JobConfiguration::Client& client) const;
    // Writes the configuration for `client` alone, also where systemd does not run. An installed
    // job's service unit follows the users it now serves, and a running job starts again, since
    // the job reads its configuration when it starts.
    foundation::Expected<void> configure(std::string_view label, const JobConfiguration::Client& client) const;
    // Stops the job and removes its program and units; its configuration stays, since it may
    // list other users.
    foundation::Expected<void> remove(std::string_view label) const;

    // The units' texts, as `bless` writes them; the service may write the homes of `users`.
    std::string socketUnitText(std::string_view label) const;
    std::string serviceUnitText(std::string_view label, const std::set<uid_t>& users) const;

private:
    foundation::Expected<void> requireSystemd() const;
    foundation::Expected<JobConfiguration> writeConfiguration(std::string_view label,
                                                              const JobConfiguration::Client& client) const;
    foundation::Expected<void> systemctl(std::vector<std::string> arguments) const;

    const SystemdJobPaths paths_;
    const std::shared_ptr<foundation::ProcessLauncher> launcher_;
    const HomeLookup homes_;
};

}  // namespace platform::servicemanagement
