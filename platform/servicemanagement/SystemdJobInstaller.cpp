#include "platform/servicemanagement/SystemdJobInstaller.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ProcessRun.hpp"

#include <algorithm>
#include <sstream>

namespace platform::servicemanagement {

namespace FileSystem = foundation::FileSystem;
using foundation::Error;
using foundation::Expected;

namespace {

// Whether a "key = value" configuration text already lists `user` under "allow-uid".
bool listsUser(const std::string& configuration, uid_t user) {
    std::istringstream lines(configuration);
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('#'));
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::istringstream key(line.substr(0, equals));
        std::string name;
        key >> name;
        if (name != "allow-uid") continue;
        std::string values = line.substr(equals + 1);
        std::replace(values.begin(), values.end(), ',', ' ');
        std::istringstream numbers(values);
        for (std::string number; numbers >> number;) {
            if (number == std::to_string(user)) return true;
        }
    }
    return false;
}

Expected<void> writeRootFile(const std::filesystem::path& path, std::string_view content, mode_t mode) {
    if (auto folder = FileSystem::createDirectories(path.parent_path(), 0755); !folder) return folder;
    return FileSystem::writeFileAtomically(path, content, mode);
}

Expected<void> removeIfPresent(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) return Error{error.value(), "Cannot remove " + path.string() + ": " + error.message()};
    return {};
}

}  // namespace

SystemdJobInstaller::SystemdJobInstaller(SystemdJobPaths paths, std::shared_ptr<foundation::ProcessLauncher> launcher)
    : paths_(std::move(paths)), launcher_(std::move(launcher)) {}

std::string SystemdJobInstaller::socketUnitText(std::string_view label) const {
    // Anyone may connect: the helper itself closes connections of users it does not serve.
    return "[Unit]\nDescription=Corvantis VPN privileged helper (socket)\n\n"
           "[Socket]\nListenStream=" +
           paths_.socket(label).string() +
           "\nSocketMode=0666\nDirectoryMode=0755\n\n"
           "[Install]\nWantedBy=sockets.target\n";
}

std::string SystemdJobInstaller::serviceUnitText(std::string_view label) const {
    // No [Install] section: the socket starts the service when a client connects.
    return "[Unit]\nDescription=Corvantis VPN privileged helper\nRequires=" + paths_.socketUnit(label).filename().string() +
           "\n\n[Service]\nExecStart=" + paths_.program(label).string() + "\n";
}

Expected<void> SystemdJobInstaller::bless(std::string_view label, const std::filesystem::path& program, uid_t user) const {
    if (auto running = requireSystemd(); !running) return running;
    auto content = FileSystem::readFile(program);
    if (!content) return content.error();
    if (auto copied = writeRootFile(paths_.program(label), content.value(), 0755); !copied) return copied;
    if (auto written = writeRootFile(paths_.socketUnit(label), socketUnitText(label), 0644); !written) return written;
    if (auto written = writeRootFile(paths_.serviceUnit(label), serviceUnitText(label), 0644); !written) return written;
    if (auto allowed = allowUser(label, user); !allowed) return allowed;
    if (auto reloaded = systemctl({"daemon-reload"}); !reloaded) return reloaded;
    return systemctl({"enable", "--now", paths_.socketUnit(label).filename().string()});
}

Expected<void> SystemdJobInstaller::remove(std::string_view label) const {
    if (auto running = requireSystemd(); !running) return running;
    if (!FileSystem::fileExists(paths_.serviceUnit(label))) {
        return Error{ENOENT, "The job " + std::string(label) + " is not installed"};
    }
    if (auto stopped = systemctl(
            {"disable", "--now", paths_.socketUnit(label).filename().string(), paths_.serviceUnit(label).filename().string()});
        !stopped) {
        return stopped;
    }
    for (const auto& path : {paths_.socketUnit(label), paths_.serviceUnit(label), paths_.program(label)}) {
        if (auto removed = removeIfPresent(path); !removed) return removed;
    }
    return systemctl({"daemon-reload"});
}

Expected<void> SystemdJobInstaller::requireSystemd() const {
    if (FileSystem::isDirectory(paths_.systemdRuntime)) return {};
    return Error{ENOTSUP, "systemd does not run this system, so the helper cannot be started on demand"};
}

Expected<void> SystemdJobInstaller::allowUser(std::string_view label, uid_t user) const {
    const auto path = paths_.configuration(label);
    std::string configuration;
    if (FileSystem::fileExists(path)) {
        auto read = FileSystem::readFile(path);
        if (!read) return read.error();
        configuration = std::move(read.value());
    }
    if (listsUser(configuration, user)) return {};
    if (!configuration.empty() && configuration.back() != '\n') configuration += '\n';
    configuration += "allow-uid = " + std::to_string(user) + "\n";
    // The helper trusts this file only when root owns it and nobody else can write it.
    return writeRootFile(path, configuration, 0644);
}

Expected<void> SystemdJobInstaller::systemctl(std::vector<std::string> arguments) const {
    std::string command = paths_.systemctl.string();
    for (const auto& argument : arguments) command += " " + argument;
    auto finished = foundation::runToEnd(*launcher_, {paths_.systemctl, std::move(arguments), {}, nullptr});
    if (!finished) return finished.error();
    if (finished.value().exit.succeeded()) return {};
    return Error{EIO, command + " failed: " + finished.value().standardError};
}

}  // namespace platform::servicemanagement
