#pragma once

#include <string_view>

namespace platform::foundation {

// The part of a path text after its last "/", trailing ones ignored: "/" alone stays "/", a text
// without "/" and the empty text come back unchanged.
std::string_view lastPathComponent(std::string_view path);

}  // namespace platform::foundation
