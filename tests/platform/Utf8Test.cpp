#include "platform/foundation/Utf8.hpp"

#include <gtest/gtest.h>

using platform::foundation::isValidUtf8;
using platform::foundation::utf8WithReplacements;

namespace {

TEST(Utf8, ReplacesEveryByteThatStartsNoWellFormedSequence) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain"},
        {"Grüße €𝄞", "Grüße €𝄞"},
        {"a\x81z", "a\xEF\xBF\xBDz"},                              // stray continuation byte
        {"\xC3", "\xEF\xBF\xBD"},                                  // cut short
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"eight ascii then \xE2\x82", "eight ascii then \xEF\xBF\xBD\xEF\xBF\xBD"},  // cut short after the ASCII stretch
        {"0123456\xC3\xBC"
         "89abcdef",
         "0123456\xC3\xBC"
         "89abcdef"},  // a sequence across eight-byte blocks
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(utf8WithReplacements(input), expected);
        EXPECT_TRUE(isValidUtf8(utf8WithReplacements(input)));
        EXPECT_EQ(isValidUtf8(input), input == expected);
    }
}

}  // namespace
