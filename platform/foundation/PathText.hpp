#pragma once

#include <string_view>

namespace platform::foundation {

// The part of a path text after its last "/", trailing ones ignored: "/" alone stays "/", a text
// without "/" and the empty text come back unchanged. Constant-evaluable, so that a path the
// compiler gives can be cut at compile time.
constexpr std::string_view lastPathComponent(std::string_view path) {
    const auto end = path.find_last_not_of('/');
    if (end == std::string_view::npos) return path.substr(0, 1);
    const auto slash = path.rfind('/', end);
    const auto start = slash == std::string_view::npos ? 0 : slash + 1;
    return path.substr(start, end + 1 - start);
}

}  // namespace platform::foundation
