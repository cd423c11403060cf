#include "platform/foundation/RegularExpression.hpp"

#include <gtest/gtest.h>

using platform::foundation::RegularExpression;

namespace {

TEST(RegularExpression, MatchesTheWholeTextOnly) {
    const auto digits = RegularExpression::make("[0-9]+").value();
    EXPECT_TRUE(digits.matchesWhole("2026"));
    EXPECT_FALSE(digits.matchesWhole("x2026"));
    EXPECT_FALSE(digits.matchesWhole("2026x"));
    EXPECT_FALSE(digits.matchesWhole(""));
}

TEST(RegularExpression, DotStopsAtLineBreaksAndCountsCodePoints) {
    const auto three = RegularExpression::make("^.{3}$").value();
    EXPECT_TRUE(three.matchesWhole("äöü"));
    EXPECT_TRUE(three.matchesWhole("a😀b"));
    EXPECT_FALSE(three.matchesWhole("a\nb"));
}

TEST(RegularExpression, IsCaseSensitive) {
    EXPECT_FALSE(RegularExpression::make("abc").value().matchesWhole("ABC"));
}

TEST(RegularExpression, ABrokenPatternIsAnError) {
    const auto broken = RegularExpression::make("[a-");
    ASSERT_FALSE(broken);
    EXPECT_NE(broken.error().message.find("[a-"), std::string::npos);
}

}  // namespace
