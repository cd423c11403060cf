#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// Named byte values that the file system keeps beside a file's contents. Symbolic links are
// followed. Failures carry the system's error number and its `strerror` text as the message.
//
// Linux keeps every attribute in a namespace ("user.", "trusted.", "security.", "system.") and
// refuses other names; a name without one of them is kept under "user." and listed without it,
// so callers use the same names on every system.
namespace ExtendedAttributes {

// The name handed to the system for a caller's name.
std::string systemName(std::string_view name);

// The attribute's value; none when it cannot be found (no such attribute, file or support).
// When the value shrinks between asking its size and reading it, only the bytes read come back.
Expected<std::optional<std::string>> get(const std::filesystem::path& path, std::string_view name);

// Creates or replaces the attribute.
Expected<void> set(const std::filesystem::path& path, std::string_view name, std::string_view value);

Expected<void> remove(const std::filesystem::path& path, std::string_view name);

// Every attribute name in the system's order, as callers name them; names that are not valid
// UTF-8 are left out.
Expected<std::vector<std::string>> list(const std::filesystem::path& path);

}  // namespace ExtendedAttributes

}  // namespace platform::foundation
