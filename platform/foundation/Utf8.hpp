#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

// The code points of `text`; every byte that does not start a valid sequence gives U+FFFD.
std::vector<char32_t> codePoints(std::string_view text);

// The text with every byte that does not start a valid sequence replaced by U+FFFD.
std::string utf8WithReplacements(std::string_view text);

}  // namespace platform::foundation
