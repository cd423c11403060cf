#pragma once

#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace platform::foundation {

// The user's folder for configuration: `$XDG_CONFIG_HOME` when it is absolute, else
// "~/.config" (the home folder from `$HOME`, else the password database).
std::filesystem::path configurationHome();

// The home folder of `user` in the password database; none when it names no absolute one.
std::optional<std::filesystem::path> homeFolderOf(uid_t user);

}  // namespace platform::foundation
