#include "platform/foundation/NumberText.hpp"
#include "platform/foundation/Utf8.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using platform::foundation::doubleDescription;
using platform::foundation::isValidUtf8;

namespace {

TEST(DoubleDescription, ShortestRoundTripWithPointZeroForWholeNumbers) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.0"},    {8.0, "8.0"},       {-3.0, "-3.0"},           {0.1, "0.1"},
        {1.5, "1.5"},    {0.7, "0.7"},       {123456.75, "123456.75"}, {1e15, "1000000000000000.0"},
        {1e16, "1e+16"}, {0.0001, "0.0001"}, {0.00001, "1e-05"},       {std::numeric_limits<double>::infinity(), "inf"},
    };
    for (const auto& example : cases) EXPECT_EQ(doubleDescription(example.value), example.text) << example.value;
    for (double value : {0.1 + 0.2, 1.0 / 3.0, 2.5e-7, 6.02214076e23}) {
        EXPECT_EQ(std::stod(doubleDescription(value)), value);
    }
}

TEST(Utf8Validation, AcceptsTextAndRefusesMalformedSequences) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain"));
    EXPECT_TRUE(isValidUtf8("Zürich 日本 \xF0\x9F\x94\x92"));
    for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "a\x80"}) {
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
    }
}

TEST(Utf8Decoding, GivesCodePointsAndAReplacementForEachBadByte) {
    using platform::foundation::codePoints;
    EXPECT_EQ(codePoints("Zü日\xF0\x9F\x94\x92"), (std::vector<char32_t>{U'Z', U'ü', U'日', U'\U0001F512'}));
    EXPECT_EQ(codePoints("a\xC3"), (std::vector<char32_t>{U'a', U'\uFFFD'}));
    EXPECT_EQ(codePoints("\xED\xA0\x80"
                         "b"),
              (std::vector<char32_t>{U'\uFFFD', U'\uFFFD', U'\uFFFD', U'b'}));
    EXPECT_TRUE(codePoints("").empty());
}

}  // namespace
