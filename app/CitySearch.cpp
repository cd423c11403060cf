#include "app/CitySearch.hpp"

#include "platform/foundation/UnicodeNormalization.hpp"

#include <algorithm>

namespace corvantis {

namespace {

bool isAscii(std::string_view text) {
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

CitySearch::CitySearch(std::string_view text)
    : folded_(platform::foundation::caseFolded(text)), foldedIsAscii_(isAscii(folded_)) {}

bool CitySearch::matches(std::string_view name) const {
    // Most names are ASCII: compare them in place rather than folding a copy of each.
    if (isAscii(name)) {
        if (!foldedIsAscii_) return false;  // an ASCII name folds to ASCII only
        return !std::ranges::search(name, folded_, {}, lowered).empty() || folded_.empty();
    }
    return platform::foundation::caseFolded(name).find(folded_) != std::string::npos;
}

}  // namespace corvantis
