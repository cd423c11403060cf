#include "platform/servicemanagement/JobCommand.hpp"

#include "platform/servicemanagement/SystemdJobInstaller.hpp"

#include <charconv>
#include <ostream>

namespace platform::servicemanagement {

namespace {

std::optional<uid_t> userNumber(const std::string& text) {
    uid_t user = 0;
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), user);
    if (problem != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return user;
}

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

std::optional<JobCommand> JobCommand::parse(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2 || arguments.size() % 2 != 0) return std::nullopt;
    const auto action = actionOf(arguments[0]);
    if (!action) return std::nullopt;
    JobCommand command{*action, arguments[1]};
    if (command.action == Action::remove) return arguments.size() == 2 ? std::optional(command) : std::nullopt;
    for (std::size_t index = 2; index < arguments.size(); index += 2) {
        const auto& option = arguments[index];
        const auto& value = arguments[index + 1];
        if (option == allowUidOption && !command.client.user) {
            command.client.user = userNumber(value);
            if (!command.client.user) return std::nullopt;
        } else if (option == bundleResourcesOption && command.client.bundleResources.empty()) {
            command.client.bundleResources = value;
        } else if (option == applicationExecutableOption && command.client.applicationExecutable.empty()) {
            command.client.applicationExecutable = value;
        } else {
            return std::nullopt;
        }
    }
    if (command.client.bundleResources.empty() || command.client.applicationExecutable.empty()) return std::nullopt;
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
