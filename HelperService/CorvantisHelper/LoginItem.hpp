#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <functional>
#include <string>
#include <sys/types.h>

namespace corvantis::helper {

struct UserAccount {
    std::filesystem::path home;
    gid_t gid = 0;
};

using AccountLookup = std::function<platform::foundation::Expected<UserAccount>(uid_t)>;

// The account database's entry for a user.
platform::foundation::Expected<UserAccount> lookUpAccount(uid_t uid);

// The application's login item on Linux: an XDG autostart entry in the calling user's
// ~/.config/autostart, written and removed as that user, never as root.
class LoginItem {
public:
    static constexpr const char* entryName = "com.corvantis.Corvantis.desktop";

    LoginItem(std::filesystem::path applicationExecutable, AccountLookup accounts);

    platform::foundation::Expected<void> add(uid_t uid) const;
    // Removing an entry that is not there is no error.
    platform::foundation::Expected<void> remove(uid_t uid) const;

    // The entry's text, with the program quoted as desktop entries require.
    static std::string desktopEntry(const std::filesystem::path& executable);

private:
    std::filesystem::path applicationExecutable_;
    AccountLookup accounts_;
};

}  // namespace corvantis::helper
