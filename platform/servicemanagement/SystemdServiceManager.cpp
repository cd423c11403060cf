#include "platform/servicemanagement/SystemdServiceManager.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/security/Authorization.hpp"

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

}  // namespace

SystemdServiceManager::SystemdServiceManager(SystemdJobPaths paths) : paths_(std::move(paths)) {}

std::shared_ptr<SystemdServiceManager> SystemdServiceManager::shared() {
    static const auto manager = [] {
        SystemdJobPaths paths;
        // Where to look for the installed job's units instead (a development or test set-up). It
        // changes only where this process looks: installing as root always writes the real units.
        if (const char* units = std::getenv(unitFolderEnvironment); units != nullptr && *units != '\0') paths.unitFolder = units;
        return std::make_shared<SystemdServiceManager>(std::move(paths));
    }();
    return manager;
}

std::optional<nlohmann::json> SystemdServiceManager::copyJobDictionary(std::string_view domain, std::string_view label) {
    if (domain != kSMDomainSystemLaunchd) return std::nullopt;
    const auto unit = foundation::FileSystem::readFile(paths_.serviceUnit(label));
    if (!unit) return std::nullopt;
    std::istringstream lines(unit.value());
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("ExecStart=")) continue;
        std::istringstream words(line.substr(std::string_view("ExecStart=").size()));
        auto arguments = nlohmann::json::array();
        for (std::string word; words >> word;) arguments.push_back(word);
        return nlohmann::json{{"Label", label}, {"ProgramArguments", arguments}};
    }
    return nlohmann::json{{"Label", label}, {"ProgramArguments", nlohmann::json::array()}};
}

bool SystemdServiceManager::removeJob(std::string_view domain, std::string_view label,
                                      const security::Authorization& authorization, DomainError* error) {
    if (domain != kSMDomainSystemLaunchd) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorJobNotFound, "Only system jobs are managed here"});
    }
    return runAsRoot(label, {removeOption, std::string(label)}, authorization, error);
}

bool SystemdServiceManager::blessJob(std::string_view domain, std::string_view label,
                                     const security::Authorization& authorization, DomainError* error) {
    if (domain != kSMDomainSystemLaunchd) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorJobNotFound, "Only system jobs are managed here"});
    }
    return runAsRoot(label, {blessOption, std::string(label), allowUidOption, std::to_string(::getuid())}, authorization, error);
}

bool SystemdServiceManager::runAsRoot(std::string_view label, std::vector<std::string> arguments,
                                      const security::Authorization& authorization, DomainError* error) const {
    const auto program = foundation::Bundle::main()->bundlePath() / helperFolderInBundle / label;
    if (::access(program.c_str(), X_OK) != 0) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorToolNotValid,
                            "The helper program " + program.string() + " is missing from the application bundle"});
    }
    std::vector<std::string> command = authorization.elevationPrefix();
    command.push_back(program.string());
    command.insert(command.end(), arguments.begin(), arguments.end());
    const std::filesystem::path executable = command.front();
    command.erase(command.begin());
    auto finished = foundation::runToEnd(*Services::current().processLauncher(), {executable, command, {}, nullptr});
    if (!finished) {
        return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorInternalFailure, finished.error().message});
    }
    const auto& exit = finished.value().exit;
    if (const auto status = authorization.statusOfElevatedExit(exit.exitStatus); status != security::errAuthorizationSuccess) {
        return fail(error, foundation::osStatusError(status));
    }
    if (exit.succeeded()) return true;
    auto reason = trimmed(finished.value().standardError);
    if (reason.empty()) reason = program.filename().string() + " ended with status " + std::to_string(exit.exitStatus);
    return fail(error, {std::string(kSMErrorDomainFramework), kSMErrorInternalFailure, reason});
}

}  // namespace platform::servicemanagement
