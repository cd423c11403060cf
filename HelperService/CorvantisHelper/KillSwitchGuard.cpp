#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"

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
    // Each engage sends the whole chain again: a file already as wanted is left alone.
    if (const auto current = RootFiles::readTrustedFile(destination); current && current.value() == content) return {};
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
      resolver_(configuration.resolver.etc),
      relay_(relay) {}

std::string KillSwitchGuard::scriptText(const std::filesystem::path& program, const GuardPaths& paths,
                                        const std::filesystem::path& nft, const std::filesystem::path& resolver) {
    return "#!/bin/sh\n# The Corvantis VPN kill-switch guard: keeps traffic in the tunnel while engaged.\nexec " +
           ShellText::word(program.string()) + " --guard " + ShellText::word(paths.preferences.string()) + " --endpoints " +
           ShellText::word(paths.endpoints.string()) + " --nft " + ShellText::word(nft.string()) + " --resolv-conf " +
           ShellText::word(resolver.string()) + "\n";
}

std::string KillSwitchGuard::unitText(const std::filesystem::path& script) {
    // As firewalls order themselves: early in boot, outside the default dependencies, before
    // network-pre.target (which the network's configuration waits for), ready once the table stands.
    // The guard only reads its key file and talks to the kernel's firewall: it writes nothing.
    const platform::servicemanagement::ServiceHardening sandbox{platform::servicemanagement::ServiceHardening::Homes::hidden};
    return "[Unit]\nDescription=Corvantis VPN kill-switch guard\nDefaultDependencies=no\nAfter=local-fs.target\n"
           "Before=network-pre.target shutdown.target\nWants=network-pre.target\nConflicts=shutdown.target\n\n"
           "[Service]\nType=notify\nExecStart=" +
           script.string() + "\nRestart=always\n" + sandbox.unitLines() + "\n[Install]\nWantedBy=sysinit.target\n";
}

std::optional<GuardRules::KeyFile> KillSwitchGuard::keys() const {
    const auto content = RootFiles::readTrustedFile(paths_.preferences);
    return content ? GuardRules::readKeyFile(content.value()) : std::nullopt;
}

bool KillSwitchGuard::install(const Ipv4Address& gateway, CommandReply& reply) {
    std::lock_guard lock(mutex_);
    return succeeded(writeInto(paths_.preferences, GuardRules::keyFileText({gateway, true}), 0600), reply) &&
           succeeded(writeInto(paths_.script, scriptText(program_, paths_, nft_, resolver_), 0755), reply) &&
           succeeded(writeInto(paths_.unitFolder / unitName, unitText(paths_.script), 0644), reply) &&
           relay_.run({systemctl_, {"daemon-reload"}, {}}, reply) && relay_.run({systemctl_, {"enable", unitName}, {}}, reply) &&
           restart(reply);
}

void KillSwitchGuard::release(CommandReply& reply) {
    std::lock_guard lock(mutex_);
    auto released = keys();
    if (!released || !released->engaged) return;
    released->engaged = false;
    if (succeeded(writeInto(paths_.preferences, GuardRules::keyFileText(*released), 0600), reply)) restart(reply);
}

bool KillSwitchGuard::restart(CommandReply& reply) const {
    // A running guard reads the key file only when it starts.
    return relay_.run({systemctl_, {"restart", unitName}, {}}, reply);
}

}  // namespace corvantis::helper
