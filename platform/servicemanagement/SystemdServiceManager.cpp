#include "platform/servicemanagement/SystemdServiceManager.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/security/Authorization.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace platform::servicemanagement {

using foundation::DomainError;

namespace {

bool fail(foundation::DomainError* error, DomainError made) {
    if (error != nullptr) *error = std::move(made);
    return false;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

DomainError onlySystemJobs() {
    return {std::string(kSMErrorDomainFramework), kSMErrorJobNotFound, "Only system jobs are managed here"};
}

std::filesystem::path thisProgram() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace

SystemdServiceManager::SystemdServiceManager(SystemdJobPaths paths) : paths_(std::move(paths)) {}

std::shared_ptr<SystemdServiceManager> SystemdServiceManager::shared() {
    static const auto manager = [] {
        SystemdJobPaths paths;
        // It changes only where this process looks: installing as root always writes the real
        // units and configuration.
        if (const char* units = std::getenv(unitFolderEnvironment); units != nullptr && *units != '\0') {
            paths.unitFolder = units;
            paths.configurationFolder = units;
        }
        return std::make_shared<SystemdServiceManager>(std::move(paths));
    }();
    return manager;
}

std::optional<nlohmann::json> SystemdServiceManager::copyJobDictionary(std::string_view domain, std::string_view label) {
    if (domain != kSMDomainSystemLaunchd) return std::nullopt;
    const auto unit = foundation::FileSystem::readFile(paths_.serviceUnit(label));
    if (!unit) return std::nullopt;
    auto arguments = nlohmann::json::array();
    std::istringstream lines(unit.value());
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("ExecStart=")) continue;
        std::istringstream words(line.substr(std::string_view("ExecStart=").size()));
        for (std::string word; words >> word;) arguments.push_back(word);
        break;
    }
    // The job serves root whatever its configuration says, and nobody else when that is unreadable.
    const auto configuration = JobConfiguration::read(paths_.configuration(label));
    auto users = configuration ? configuration.value().allowedUsers() : std::set<uid_t>{};
    users.insert(0);
    return nlohmann::json{
        {"Label", label}, {"ProgramArguments", arguments}, {std::string(jobAllowedUsersKey), nlohmann::json(users)}};
}

bool SystemdServiceManager::removeJob(std::string_view domain, std::string_view label,
                                      const security::Authorization& authorization, DomainError* error) {
    if (domain != kSMDomainSystemLaunchd) return fail(error, onlySystemJobs());
    return runAsRoot(commandFor(JobCommand::Action::remove, label), authorization, error);
}

bool SystemdServiceManager::blessJob(std::string_view domain, std::string_view label,
                                     const security::Authorization& authorization, DomainError* error) {
    if (domain != kSMDomainSystemLaunchd) return fail(error, onlySystemJobs());
    return requireSystemd(error) && runAsRoot(commandFor(JobCommand::Action::bless, label), authorization, error);
}

bool SystemdServiceManager::replaceJob(std::string_view domain, std::string_view label,
                                       const security::Authorization& authorization, DomainError* removeError,
                                       DomainError* blessError) {
    if (domain != kSMDomainSystemLaunchd) return fail(removeError, onlySystemJobs());
    return requireSystemd(removeError) &&
           runAsRoot(commandFor(JobCommand::Action::bless, label), authorization, blessError, removeError);
}

bool SystemdServiceManager::allowJobUser(std::string_view domain, std::string_view label,
                                         const security::Authorization& authorization, DomainError* error) {
    if (domain != kSMDomainSystemLaunchd) return fail(error, onlySystemJobs());
    return runAsRoot(commandFor(JobCommand::Action::configure, label), authorization, error);
}

JobCommand SystemdServiceManager::commandFor(JobCommand::Action action, std::string_view label) const {
    return {action, std::string(label), {foundation::Bundle::main()->resourcePath(), thisProgram(), ::getuid()}};
}

bool SystemdServiceManager::requireSystemd(DomainError* error) const {
    if (foundation::FileSystem::isDirectory(paths_.systemdRuntime)) return true;
    return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorServiceUnavailable, std::string(systemdMissing)});
}

bool SystemdServiceManager::runAsRoot(const JobCommand& command, const security::Authorization& authorization, DomainError* error,
                                      DomainError* removeError) const {
    const auto program = foundation::Bundle::main()->bundlePath() / helperFolderInBundle / command.label;
    if (::access(program.c_str(), X_OK) != 0) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorToolNotValid,
                            "The helper program " + program.string() + " is missing from the application bundle"});
    }
    std::vector<std::string> arguments = authorization.elevationPrefix();
    arguments.push_back(program.string());
    const auto commandArguments = command.arguments();
    arguments.insert(arguments.end(), commandArguments.begin(), commandArguments.end());
    const std::filesystem::path executable = arguments.front();
    arguments.erase(arguments.begin());
    auto finished = foundation::runToEnd(*Services::current().processLauncher(), {executable, arguments, {}, nullptr});
    if (!finished) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorInternalFailure, finished.error().message});
    }
    const auto& exit = finished.value().exit;
    if (const auto status = authorization.statusOfElevatedExit(exit.exitStatus); status != security::errAuthorizationSuccess) {
        return fail(removeError != nullptr ? removeError : error, authorization.errorFor(status));
    }
    if (exit.succeeded()) return true;
    auto reason = trimmed(finished.value().standardError);
    if (reason.empty()) reason = program.filename().string() + " ended with status " + std::to_string(exit.exitStatus);
    const bool removalFailed = removeError != nullptr && exit.signal == 0 && exit.exitStatus == JobCommand::removalFailedStatus;
    return fail(removalFailed ? removeError : error, {std::string(kSMErrorDomainFramework), kSMErrorInternalFailure, reason});
}

}  // namespace platform::servicemanagement
