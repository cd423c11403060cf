#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/servicemanagement/SystemdJobPaths.hpp"

#include <memory>
#include <string_view>
#include <sys/types.h>

namespace platform::servicemanagement {

// The part of installing and removing a job that runs as root: the program copied into the
// libexec folder, the socket and service units written and the socket enabled, the installing
// user added to the job's configuration ("allow-uid = <uid>").
class SystemdJobInstaller {
public:
    SystemdJobInstaller(SystemdJobPaths paths, std::shared_ptr<foundation::ProcessLauncher> launcher);

    // Installs `program` as the job `label`, serving `user` besides root. An installed job of
    // that label is replaced.
    foundation::Expected<void> bless(std::string_view label, const std::filesystem::path& program, uid_t user) const;

    // Stops the job and removes its program and units; its configuration stays, since it may
    // list other users.
    foundation::Expected<void> remove(std::string_view label) const;

    // The units' texts, as `bless` writes them.
    std::string socketUnitText(std::string_view label) const;
    std::string serviceUnitText(std::string_view label) const;

private:
    foundation::Expected<void> requireSystemd() const;
    foundation::Expected<void> allowUser(std::string_view label, uid_t user) const;
    foundation::Expected<void> systemctl(std::vector<std::string> arguments) const;

    const SystemdJobPaths paths_;
    const std::shared_ptr<foundation::ProcessLauncher> launcher_;
};

}  // namespace platform::servicemanagement
