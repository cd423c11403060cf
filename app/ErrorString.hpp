#pragma once

#include <optional>
#include <string_view>

namespace corvantis {

// The backend client's two fixed failure texts.
enum class ErrorString { maintenance, checkInternet };

std::string_view rawValue(ErrorString value);
// The case whose text is exactly `text`.
std::optional<ErrorString> ErrorStringFromRaw(std::string_view text);

}  // namespace corvantis
