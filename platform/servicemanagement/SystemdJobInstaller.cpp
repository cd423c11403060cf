#include "platform/servicemanagement/SystemdJobInstaller.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/foundation/UserDirectories.hpp"
#include "platform/servicemanagement/ServiceHardening.hpp"

namespace platform::servicemanagement {

namespace FileSystem = foundation::FileSystem;
using foundation::Error;
using foundation::Expected;

namespace {

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

SystemdJobInstaller::SystemdJobInstaller(SystemdJobPaths paths, std::shared_ptr<foundation::ProcessLauncher> launcher,
                                         HomeLookup homes)
    : paths_(std::move(paths)), launcher_(std::move(launcher)), homes_(homes ? std::move(homes) : foundation::homeFolderOf) {}

bool SystemdJobInstaller::isInstalled(std::string_view label) const {
    return FileSystem::fileExists(paths_.serviceUnit(label));
}

std::string SystemdJobInstaller::socketUnitText(std::string_view label) const {
    // Anyone may connect: the helper itself closes connections of users it does not serve. The
    // socket starts no program of its own, so it has nothing to sandbox; a stopped job leaves no
    // socket file behind.
    return "[Unit]\nDescription=Corvantis VPN privileged helper (socket)\n\n"
           "[Socket]\nListenStream=" +
           paths_.socket(label).string() +
           "\nSocketMode=0666\nDirectoryMode=0755\nRemoveOnStop=yes\n\n"
           "[Install]\nWantedBy=sockets.target\n";
}

std::string SystemdJobInstaller::serviceUnitText(std::string_view label, const std::set<uid_t>& users) const {
    // It writes the resolver file (replacing it within /etc), the kill-switch guard's files and
    // unit, its run folders and sockets under /run, the system keychain and network preferences
    // in its state folder, and the launch-at-login entries in the homes of the users it serves
    // (as each user).
    ServiceHardening hardening{ServiceHardening::Homes::readOnly, {"/etc", "/run"}, paths_.stateDirectory};
    for (const uid_t user : users) {
        if (auto home = homes_(user)) hardening.writablePaths.push_back(std::move(*home));
    }
    // No [Install] section: the socket starts the service when a client connects.
    return "[Unit]\nDescription=Corvantis VPN privileged helper\nRequires=" + paths_.socketUnit(label).filename().string() +
           "\n\n[Service]\nExecStart=" + paths_.program(label).string() + "\n" + hardening.unitLines();
}

Expected<void> SystemdJobInstaller::bless(std::string_view label, const std::filesystem::path& program,
                                          const JobConfiguration::Client& client) const {
    if (auto running = requireSystemd(); !running) return running;
    auto content = FileSystem::readFile(program);
    if (!content) return content.error();
    auto configuration = writeConfiguration(label, client);
    if (!configuration) return configuration.error();
    if (auto copied = writeRootFile(paths_.program(label), content.value(), 0755); !copied) return copied;
    if (auto written = writeRootFile(paths_.socketUnit(label), socketUnitText(label), 0644); !written) return written;
    if (auto written =
            writeRootFile(paths_.serviceUnit(label), serviceUnitText(label, configuration.value().allowedUsers()), 0644);
        !written) {
        return written;
    }
    if (auto reloaded = systemctl({"daemon-reload"}); !reloaded) return reloaded;
    return systemctl({"enable", "--now", paths_.socketUnit(label).filename().string()});
}

Expected<void> SystemdJobInstaller::configure(std::string_view label, const JobConfiguration::Client& client) const {
    auto configuration = writeConfiguration(label, client);
    if (!configuration) return configuration.error();
    if (!isInstalled(label) || !requireSystemd()) return {};
    const auto unit = paths_.serviceUnit(label);
    if (auto written = writeRootFile(unit, serviceUnitText(label, configuration.value().allowedUsers()), 0644); !written) {
        return written;
    }
    if (auto reloaded = systemctl({"daemon-reload"}); !reloaded) return reloaded;
    return systemctl({"try-restart", unit.filename().string()});
}

Expected<void> SystemdJobInstaller::remove(std::string_view label) const {
    if (auto running = requireSystemd(); !running) return running;
    if (!isInstalled(label)) return Error{ENOENT, "The job " + std::string(label) + " is not installed"};
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
    return Error{ENOTSUP, std::string(systemdMissing)};
}

Expected<JobConfiguration> SystemdJobInstaller::writeConfiguration(std::string_view label,
                                                                   const JobConfiguration::Client& client) const {
    auto configuration = JobConfiguration::read(paths_.configuration(label));
    if (!configuration) return configuration.error();
    if (auto served = configuration.value().serve(client); !served) return served.error();
    if (auto written = configuration.value().write(paths_.configuration(label)); !written) return written.error();
    return configuration;
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
