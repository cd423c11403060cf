#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvantis {

// The text between the first `from` and the first `to` after it; none when either is missing
// (an empty `from` or `to` is never found). Canonically equivalent characters match, so the
// search and the result are in composed form.
std::optional<std::string> slice(std::string_view text, std::string_view from, std::string_view to);

}  // namespace corvantis
