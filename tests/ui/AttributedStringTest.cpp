#include "UiTestCase.hpp"

#include "platform/ui/AttributedString.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using platform::ui::AttributedString;
using platform::ui::Color;
using platform::ui::Font;
using platform::ui::ParagraphStyle;
using platform::ui::TextAlignment;
using platform::ui::TextAttributes;
using platform::ui::TextRange;

namespace {

class AttributedStringTest : public corvantis::testing::UiTestCase {
protected:
    TextAttributes blue12() const {
        TextAttributes attributes;
        attributes.foregroundColor = Color::sRGB(31 / 255.0, 102 / 255.0, 251 / 255.0, 1.0);
        attributes.font = Font::named("Montserrat-Medium", 12);
        return attributes;
    }
    static TextAttributes centred() {
        TextAttributes attributes;
        attributes.paragraphStyle = ParagraphStyle{TextAlignment::center};
        return attributes;
    }
};

TEST_F(AttributedStringTest, AddingOverTheWholeTextKeepsOneRunWithBothSets) {
    AttributedString title("Favourites", blue12());
    title.addAttributes(centred(), *title.rangeOf(title.string()));

    ASSERT_EQ(title.runs().size(), 1u);
    const auto& run = title.runs().front();
    EXPECT_EQ(run.range, (TextRange{0, 10}));
    EXPECT_EQ(run.attributes.foregroundColor, blue12().foregroundColor);
    EXPECT_EQ(run.attributes.font, blue12().font);
    EXPECT_EQ(run.attributes.paragraphStyle->alignment, TextAlignment::center);
}

TEST_F(AttributedStringTest, RunsSplitWhereAttributesChangeAndMergeWhenTheyMatchAgain) {
    AttributedString text("Sign up now", blue12());
    TextAttributes underlined;
    underlined.underlineStyle = TextAttributes::underlineSingle;
    text.addAttributes(underlined, {5, 2});

    ASSERT_EQ(text.runs().size(), 3u);
    EXPECT_EQ(text.runs()[0].range, (TextRange{0, 5}));
    EXPECT_EQ(text.runs()[1].range, (TextRange{5, 2}));
    EXPECT_EQ(text.runs()[2].range, (TextRange{7, 4}));
    EXPECT_EQ(text.attributes(5).underlineStyle, TextAttributes::underlineSingle);
    EXPECT_FALSE(text.attributes(4).underlineStyle.has_value());
    EXPECT_EQ(text.attributes(6).font, blue12().font);  // added, not replaced

    text.setAttributes(blue12(), {5, 2});
    ASSERT_EQ(text.runs().size(), 1u);
    EXPECT_EQ(text.runs().front().range, (TextRange{0, 11}));
}

TEST_F(AttributedStringTest, SettingReplacesEveryAttributeOverTheRange) {
    AttributedString text("Log in", blue12());
    text.setAttributes(centred(), {0, 3});
    EXPECT_FALSE(text.attributes(0).font.has_value());
    EXPECT_TRUE(text.attributes(0).paragraphStyle.has_value());
    EXPECT_TRUE(text.attributes(3).font.has_value());
}

TEST_F(AttributedStringTest, BadRangesThrowAndChangeNothing) {
    AttributedString text("Zürich", blue12());  // "ü" takes two bytes
    const auto before = text;
    EXPECT_THROW(text.addAttributes(centred(), {3, 10}), std::out_of_range);
    EXPECT_THROW(text.addAttributes(centred(), {8, 0}), std::out_of_range);
    EXPECT_THROW(text.addAttributes(centred(), {0, 2}), std::out_of_range);  // ends inside "ü"
    EXPECT_THROW(text.setAttributes(centred(), {2, 2}), std::out_of_range);  // starts inside "ü"
    EXPECT_THROW(text.attributes(7), std::out_of_range);
    EXPECT_EQ(text, before);
    EXPECT_NO_THROW(text.addAttributes(centred(), {1, 2}));  // exactly "ü"
}

TEST_F(AttributedStringTest, EmptyTextHasNoRunsAndNoRange) {
    AttributedString empty("");
    EXPECT_TRUE(empty.runs().empty());
    EXPECT_FALSE(empty.rangeOf("x").has_value());
    EXPECT_NO_THROW(empty.addAttributes(centred(), {0, 0}));
    EXPECT_EQ(empty.size().width, 0.0);
}

TEST_F(AttributedStringTest, SizeAddsTheRunsAsTheirFontsMeasureThem) {
    measurer->widths["Connect "] = 50;
    measurer->widths["now"] = 20;
    AttributedString text("Connect now", blue12());
    TextAttributes large;
    large.font = Font::named("Montserrat-Medium", 24);
    text.addAttributes(large, {8, 3});
    const auto size = text.size();
    EXPECT_DOUBLE_EQ(size.width, 50 + 40);
    EXPECT_DOUBLE_EQ(size.height, 24);
}

}  // namespace
