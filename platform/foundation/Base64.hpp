#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::foundation::Base64 {

// Standard Base64 (RFC 4648, section 4) on one line, padded with "=".
std::string encode(std::string_view bytes);
// The bytes of padded standard Base64 text; none for any other character or a wrong length.
std::optional<std::string> decode(std::string_view text);
// The same after dropping every character outside the Base64 alphabet and "=" (line breaks,
// blanks and the like).
std::optional<std::string> decodeIgnoringUnknownCharacters(std::string_view text);

}  // namespace platform::foundation::Base64
