#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

// The text in Unicode canonical composition (NFC): "e" followed by a combining acute accent
// becomes "é". Text that is not valid UTF-8 comes back unchanged.
std::string precomposedStringWithCanonicalMapping(std::string_view text);

// The text as a case- and diacritic-insensitive comparison sees it: decomposed, without its
// combining marks, case-folded ("Zürich" and "zurich" fold alike). Text that is not valid UTF-8
// comes back unchanged.
std::string foldedForSearch(std::string_view text);

// The text as a case-insensitive comparison sees it: composed, then case-folded ("Åland" and
// "åLAND" fold alike, "é" and "e" do not). Text that is not valid UTF-8 comes back unchanged.
std::string caseFolded(std::string_view text);

}  // namespace platform::foundation
