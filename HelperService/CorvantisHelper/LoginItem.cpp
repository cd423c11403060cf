#include "HelperService/CorvantisHelper/LoginItem.hpp"

#include "HelperService/CorvantisHelper/ScopedFileSystemIdentity.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

std::filesystem::path autostartFolder(const UserAccount& account) {
    return account.home / ".config" / "autostart";
}

// A desktop entry's Exec value: quoted, the characters quoting reserves preceded by a backslash,
// and then every backslash doubled, since Exec is also an escaped string value.
std::string quotedExecArgument(const std::string& program) {
    std::string quoted = "\"";
    for (char character : program) {
        if (character == '\\') {
            quoted += "\\\\\\\\";
            continue;
        }
        if (character == '"' || character == '`' || character == '$') quoted += "\\\\";
        if (character == '%') quoted += '%';
        quoted += character;
    }
    return quoted + "\"";
}

}  // namespace

Expected<UserAccount> lookUpAccount(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    const int failed = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
    if (failed != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/') {
        return Error{failed != 0 ? failed : ENOENT, "No home folder is known for user " + std::to_string(uid)};
    }
    return UserAccount{found->pw_dir, found->pw_gid};
}

LoginItem::LoginItem(std::filesystem::path applicationExecutable, AccountLookup accounts)
    : applicationExecutable_(std::move(applicationExecutable)), accounts_(std::move(accounts)) {}

std::string LoginItem::desktopEntry(const std::filesystem::path& executable) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Corvantis VPN\n"
           "Exec=" +
           quotedExecArgument(executable.string()) +
           "\n"
           "X-GNOME-Autostart-enabled=true\n";
}

Expected<void> LoginItem::add(uid_t uid) const {
    if (applicationExecutable_.empty()) return Error{EINVAL, "No application program is configured for the login item"};
    auto account = accounts_(uid);
    if (!account) return account.error();
    auto identity = ScopedFileSystemIdentity::assume(uid, account.value().gid);
    if (!identity) return identity.error();
    const auto folder = autostartFolder(account.value());
    if (auto made = platform::foundation::FileSystem::createDirectories(folder, 0700); !made) return made;
    return platform::foundation::FileSystem::writeFileAtomically(folder / entryName, desktopEntry(applicationExecutable_), 0644);
}

Expected<void> LoginItem::remove(uid_t uid) const {
    auto account = accounts_(uid);
    if (!account) return account.error();
    auto identity = ScopedFileSystemIdentity::assume(uid, account.value().gid);
    if (!identity) return identity.error();
    const auto entry = autostartFolder(account.value()) / entryName;
    if (::unlink(entry.c_str()) != 0 && errno != ENOENT) return Error::fromErrno("Cannot remove " + entry.string());
    return {};
}

}  // namespace corvantis::helper
