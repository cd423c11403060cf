#pragma once

#include <string_view>

namespace platform::foundation {

// Strict UTF-8 check: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view text);

}  // namespace platform::foundation
