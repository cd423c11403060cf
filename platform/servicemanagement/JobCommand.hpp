#pragma once

#include "platform/servicemanagement/JobConfiguration.hpp"

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::servicemanagement {

class SystemdJobInstaller;

// The command line with which a job's own program installs, configures or removes itself as
// root, in one run: the service manager builds it for the elevated run, and the program reads it
// back and carries it out. scripts/install runs the same lines.
struct JobCommand {
    enum class Action {
        // Installs the program, first removing an installed job of the label, and configures it.
        bless,
        // Writes the configuration only (and has an installed job follow it).
        configure,
        remove,
    };

    static constexpr const char* blessOption = "--bless-job";
    static constexpr const char* configureOption = "--configure-job";
    static constexpr const char* removeOption = "--remove-job";
    static constexpr const char* allowUidOption = "--allow-uid";
    static constexpr const char* bundleResourcesOption = "--bundle-resources";
    static constexpr const char* applicationExecutableOption = "--application-executable";

    // Exit statuses of a run besides 0 (done) and 1 (failed).
    static constexpr int usageStatus = 2;
    // Blessing: the installed job could not be removed, and nothing was changed.
    static constexpr int removalFailedStatus = 3;

    Action action = Action::bless;
    std::string label;
    // For blessing and configuring.
    JobConfiguration::Client client{};

    // The arguments that follow the program's path.
    std::vector<std::string> arguments() const;
    // Refused, with the reason, when the arguments are not one whole job command or name no user.
    static foundation::Expected<JobCommand> parse(const std::vector<std::string>& arguments);
    // Whether the arguments ask for a job command at all (their first is one of the actions).
    static bool isRequested(const std::vector<std::string>& arguments);
    static std::string usage(std::string_view label);

    // Carries the command out with `installer`, `program` being the job program's own file, and
    // returns the exit status; a failure's reason goes to `reasons`.
    int run(const SystemdJobInstaller& installer, const std::filesystem::path& program, std::ostream& reasons) const;
};

}  // namespace platform::servicemanagement
