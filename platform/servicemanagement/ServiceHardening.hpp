#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform::servicemanagement {

// The sandbox a root service of ours runs in, as the lines of its unit's [Service] section: no
// privileges gained through exec, a /tmp of its own, the whole file system read-only but for the
// paths it writes, and the users' homes read-only or out of sight.
struct ServiceHardening {
    enum class Homes { hidden, readOnly };

    Homes homes = Homes::hidden;
    // What the service writes; a path missing when the service starts is left out.
    std::vector<std::filesystem::path> writablePaths{};
    // A folder under /var/lib that systemd makes and keeps writable for the service; empty: none.
    std::string stateDirectory{};

    std::string unitLines() const;
};

}  // namespace platform::servicemanagement
