#include "platform/foundation/UnicodeNormalization.hpp"

#include <gtest/gtest.h>

using platform::foundation::caseFolded;
using platform::foundation::foldedForSearch;
using platform::foundation::precomposedStringWithCanonicalMapping;

namespace {

TEST(UnicodeNormalization, ComposesCanonicallyAndLeavesEverythingElse) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Berlin", "Berlin"},
        {"", ""},
        {"A\u030Are", "\u00C5re"},             // A + combining ring above
        {"\u00C5re", "\u00C5re"},              // already composed
        {"e\u0301te\u0301", "\u00E9t\u00E9"},  // two accents
        {"\u212B", "\u00C5"},                  // the angstrom sign is a singleton decomposition
        {"\uFB01", "\uFB01"},                  // a compatibility ligature stays
        {"a\x81z", "a\x81z"},                  // not UTF-8: left as it is
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(precomposedStringWithCanonicalMapping(input), expected) << input;
}

TEST(UnicodeNormalization, FoldingForSearchDropsCaseAndDiacritics) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Z\u00FCrich", "zurich"},
        {"ZU\u0308RICH", "zurich"},  // U + combining diaeresis
        {"NL-AMS.corvantis.TEST", "nl-ams.corvantis.test"},
        {"Stra\u00DFe", "strasse"},
        {"a\x81Z", "a\x81Z"},  // not UTF-8: left as it is
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(foldedForSearch(input), expected) << input;
}

TEST(UnicodeNormalization, CaseFoldingKeepsDiacritics) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\u00C5LAND", "\u00E5land"},   {"A\u030ALAND", "\u00E5land"},                        // composed first
        {"Z\u00FCrich", "z\u00FCrich"}, {"Stra\u00DFe", "strasse"},    {"a\x81Z", "a\x81Z"},  // not UTF-8: left as it is
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(caseFolded(input), expected) << input;
}

}  // namespace
