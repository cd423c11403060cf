#include "platform/servicemanagement/JobCommand.hpp"

#include "platform/servicemanagement/SystemdJobInstaller.hpp"

#include <ostream>

namespace platform::servicemanagement {

namespace {

std::optional<JobCommand::Action> actionOf(std::string_view option) {
    if (option == JobCommand::blessOption) return JobCommand::Action::bless;
    if (option == JobCommand::configureOption) return JobCommand::Action::configure;
    if (option == JobCommand::removeOption) return JobCommand::Action::remove;
    return std::nullopt;
}

const char* optionOf(JobCommand::Action action) {
    switch (action) {
        case JobCommand::Action::bless: return JobCommand::blessOption;
        case JobCommand::Action::configure: return JobCommand::configureOption;
        case JobCommand::Action::remove: return JobCommand::removeOption;
    }
    return JobCommand::removeOption;
}

}  // namespace

std::vector<std::string> JobCommand::arguments() const {
    std::vector<std::string> arguments{optionOf(action), label};
    if (action == Action::remove) return arguments;
    if (client.user) arguments.insert(arguments.end(), {allowUidOption, std::to_string(*client.user)});
    arguments.insert(arguments.end(), {bundleResourcesOption, client.bundleResources.string(), applicationExecutableOption,
                                       client.applicationExecutable.string()});
    return arguments;
}

bool JobCommand::isRequested(const std::vector<std::string>& arguments) {
    return !arguments.empty() && actionOf(arguments.front()).has_value();
}

foundation::Expected<JobCommand> JobCommand::parse(const std::vector<std::string>& arguments) {
    const foundation::Error notOne{EINVAL, "The arguments are not one job command"};
    if (arguments.size() < 2 || arguments.size() % 2 != 0) return notOne;
    const auto action = actionOf(arguments[0]);
    if (!action) return notOne;
    JobCommand command{*action, arguments[1]};
    if (command.action == Action::remove) return arguments.size() == 2 ? foundation::Expected<JobCommand>(command) : notOne;
    for (std::size_t index = 2; index < arguments.size(); index += 2) {
        const auto& option = arguments[index];
        const auto& value = arguments[index + 1];
        if (option == allowUidOption && !command.client.user) {
            // Read as the job will read the user it writes into the configuration.
            auto user = JobConfiguration::userId(value);
            if (!user) return foundation::Error{EINVAL, std::string(allowUidOption) + ": " + user.error().message};
            command.client.user = user.value();
        } else if (option == bundleResourcesOption && command.client.bundleResources.empty()) {
            command.client.bundleResources = value;
        } else if (option == applicationExecutableOption && command.client.applicationExecutable.empty()) {
            command.client.applicationExecutable = value;
        } else {
            return notOne;
        }
    }
    if (command.client.bundleResources.empty() || command.client.applicationExecutable.empty()) return notOne;
    return command;
}

std::string JobCommand::usage(std::string_view label) {
    const std::string name(label);
    const std::string client = std::string(" [") + allowUidOption + " UID] " + bundleResourcesOption + " DIR " +
                               applicationExecutableOption + " PROGRAM";
    return "usage: " + name + " " + blessOption + " " + name + client + "\n       " + name + " " + configureOption + " " + name +
           client + "\n       " + name + " " + removeOption + " " + name + "\n";
}

int JobCommand::run(const SystemdJobInstaller& installer, const std::filesystem::path& program, std::ostream& reasons) const {
    const auto failed = [&reasons](const foundation::Error& error, int status) {
        reasons << error.message << "\n";
        return status;
    };
    switch (action) {
        case Action::remove:
            if (auto removed = installer.remove(label); !removed) return failed(removed.error(), 1);
            return 0;
        case Action::configure:
            if (auto configured = installer.configure(label, client); !configured) return failed(configured.error(), 1);
            return 0;
        case Action::bless:
            // The update's removal and installation happen in this one run, under one password.
            if (installer.isInstalled(label)) {
                if (auto removed = installer.remove(label); !removed) return failed(removed.error(), removalFailedStatus);
            }
            if (auto blessed = installer.bless(label, program, client); !blessed) return failed(blessed.error(), 1);
            return 0;
    }
    return 1;
}

}  // namespace platform::servicemanagement
