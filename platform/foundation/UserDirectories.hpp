#pragma once

#include <filesystem>

namespace platform::foundation {

// The user's folder for configuration: `$XDG_CONFIG_HOME` when it is absolute, else
// "~/.config" (the home folder from `$HOME`, else the password database).
std::filesystem::path configurationHome();

}  // namespace platform::foundation
