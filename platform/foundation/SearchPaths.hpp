#pragma once

#include <filesystem>
#include <optional>

namespace platform::foundation {

// The user's Documents folder, as the desktop names it: $XDG_DOCUMENTS_DIR, else the
// XDG_DOCUMENTS_DIR line of "user-dirs.dirs" in $XDG_CONFIG_HOME (default ~/.config), else
// ~/Documents. None when no home folder is known. The folder is not created.
std::optional<std::filesystem::path> userDocumentsDirectory();

}  // namespace platform::foundation
