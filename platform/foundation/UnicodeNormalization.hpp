#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

// The text in Unicode canonical composition (NFC): "e" followed by a combining acute accent
// becomes "é". Text that is not valid UTF-8 comes back unchanged.
std::string precomposedStringWithCanonicalMapping(std::string_view text);

}  // namespace platform::foundation
