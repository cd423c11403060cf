#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileSystem.hpp"

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

}  // namespace

KillSwitchGuard::KillSwitchGuard(const HelperConfiguration& configuration, const ProcessRelay& relay)
    : bundleResources_(configuration.bundleResources),
      paths_(configuration.guard),
      systemctl_(configuration.tools.systemctl),
      relay_(relay) {}

bool KillSwitchGuard::install(const Ipv4Address& gateway, CommandReply& reply) {
    std::lock_guard lock(mutex_);
    return succeeded(writeInto(paths_.preferences, "gateway=" + gateway.text() + "\n", 0644), reply) &&
           copyFromBundle(unitName, paths_.unitFolder / unitName, 0644, reply) &&
           copyFromBundle(scriptName, paths_.script, 0755, reply) &&
           relay_.run({systemctl_, {"daemon-reload"}, {}}, reply) &&
           relay_.run({systemctl_, {"enable", "--now", unitName}, {}}, reply);
}

bool KillSwitchGuard::copyFromBundle(const std::string& name, const std::filesystem::path& destination, mode_t mode,
                                     CommandReply& reply) const {
    // The bundle belongs to the user: a symbolic link there must not make root copy another file.
    auto content = RootFiles::readRegularFile(bundleResources_ / name);
    if (!content) return succeeded(content.error(), reply);
    return succeeded(writeInto(destination, content.value(), mode), reply);
}

}  // namespace corvantis::helper
