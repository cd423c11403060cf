#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace platform::servicemanagement {

// Why a job cannot be installed where no systemd runs.
inline constexpr std::string_view systemdMissing = "systemd does not run this system, so the helper cannot be started on demand";

// Where systemd jobs of ours live: the program in a root-owned libexec folder, a socket unit
// that starts it on demand and its service unit, and the job's configuration file, which lists
// the users it serves.
struct SystemdJobPaths {
    std::filesystem::path unitFolder = "/etc/systemd/system";
    std::filesystem::path programFolder = "/usr/local/libexec/corvantis";
    std::filesystem::path configurationFolder = "/etc/corvantis";
    std::filesystem::path socketFolder = "/run/corvantis";
    // Present only while systemd runs the system.
    std::filesystem::path systemdRuntime = "/run/systemd/system";
    std::filesystem::path systemctl = "/bin/systemctl";
    // The folder under /var/lib that systemd keeps writable for the job.
    std::string stateDirectory = "corvantis";

    std::filesystem::path program(std::string_view label) const { return programFolder / label; }
    std::filesystem::path serviceUnit(std::string_view label) const { return unitFolder / (std::string(label) + ".service"); }
    std::filesystem::path socketUnit(std::string_view label) const { return unitFolder / (std::string(label) + ".socket"); }
    std::filesystem::path socket(std::string_view label) const { return socketFolder / (std::string(label) + ".sock"); }
    std::filesystem::path configuration(std::string_view label) const {
        return configurationFolder / (std::string(label) + ".conf");
    }
};

}  // namespace platform::servicemanagement
