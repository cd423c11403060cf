#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"

#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "HelperService/CorvantisHelperInterface/ShellText.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/servicemanagement/ServiceHardening.hpp"

namespace corvantis::helper {

namespace FileSystem = platform::foundation::FileSystem;
using platform::foundation::Expected;

namespace {

// A failed step answers like the shell would have: its message on a line of its own.
bool succeeded(const Expected<void>& step, CommandReply& reply) {
    if (!step) reply.sendOutput(step.error().message + "\n");
    return static_cast<bool>(step);
}

Expected<void> writeInto(const std::filesystem::path& destination, std::string_view content, mode_t mode) {
    if (auto folder = FileSystem::createDirectories(destination.parent_path(), 0755); !folder) return folder;
    return FileSystem::writeFileAtomically(destination, content, mode);
}

std::filesystem::path thisProgram() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

}  // namespace

KillSwitchGuard::KillSwitchGuard(const HelperConfiguration& configuration, const ProcessRelay& relay)
    : paths_(configuration.guard),
      program_(configuration.guard.program.empty() ? thisProgram() : configuration.guard.program),
      systemctl_(configuration.tools.systemctl),
      nft_(configuration.tools.nft),
      relay_(relay) {}

std::string KillSwitchGuard::scriptText(const std::filesystem::path& program, const std::filesystem::path& keyFile,
                                        const std::filesystem::path& nft) {
    return "#!/bin/sh\n# The Corvantis VPN kill-switch guard: keeps traffic in the tunnel while engaged.\nexec " +
           ShellText::word(program.string()) + " --guard " + ShellText::word(keyFile.string()) + " --nft " +
           ShellText::word(nft.string()) + "\n";
}

std::string KillSwitchGuard::unitText(const std::filesystem::path& script) {
    // The guard only reads its key file and talks to the kernel's firewall: it writes nothing.
    const platform::servicemanagement::ServiceHardening sandbox{platform::servicemanagement::ServiceHardening::Homes::hidden};
    return "[Unit]\nDescription=Corvantis VPN kill-switch guard\nBefore=network-pre.target\nWants=network-pre.target\n\n"
           "[Service]\nExecStart=" +
           script.string() + "\nRestart=always\n" + sandbox.unitLines() + "\n[Install]\nWantedBy=multi-user.target\n";
}

bool KillSwitchGuard::install(const Ipv4Address& gateway, CommandReply& reply) {
    std::lock_guard lock(mutex_);
    return succeeded(writeInto(paths_.preferences, GuardRules::keyFileText({gateway, true}), 0600), reply) &&
           succeeded(writeInto(paths_.script, scriptText(program_, paths_.preferences, nft_), 0755), reply) &&
           succeeded(writeInto(paths_.unitFolder / unitName, unitText(paths_.script), 0644), reply) &&
           relay_.run({systemctl_, {"daemon-reload"}, {}}, reply) && relay_.run({systemctl_, {"enable", unitName}, {}}, reply) &&
           restart(reply);
}

void KillSwitchGuard::release(CommandReply& reply) {
    std::lock_guard lock(mutex_);
    const auto content = RootFiles::readTrustedFile(paths_.preferences);
    const auto keys = content ? GuardRules::readKeyFile(content.value()) : std::nullopt;
    if (!keys || !keys->engaged) return;
    if (succeeded(writeInto(paths_.preferences, GuardRules::keyFileText({keys->gateway, false}), 0600), reply)) {
        restart(reply);
    }
}

bool KillSwitchGuard::restart(CommandReply& reply) const {
    // A running guard reads the key file only when it starts.
    return relay_.run({systemctl_, {"restart", unitName}, {}}, reply);
}

}  // namespace corvantis::helper
