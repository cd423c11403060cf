// The colour, Base64 and prefix/postfix formatters: their pinned sequences and descriptions.
#include "PRQLogger/LogFormatters/ANSIColorLogFormatter.hpp"
#include "PRQLogger/LogFormatters/Base64LogFormatter.hpp"
#include "PRQLogger/LogFormatters/PrePostFixLogFormatter.hpp"
#include "PRQLogger/LogFormatters/XcodeColorsLogFormatter.hpp"
#include "platform/ui/Color.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

using prq::ANSIColorLogFormatter;
using prq::Level;
using ANSIColor = ANSIColorLogFormatter::ANSIColor;
using ANSIOption = ANSIColorLogFormatter::ANSIOption;
using XcodeColor = prq::XcodeColorsLogFormatter::XcodeColor;
namespace XcodeColors = prq::XcodeColors;

namespace {

const std::string ESC = "\x1b";

// Formats `message` at `level`; the text left in the message and the one returned agree.
std::string formatted(prq::LogFormatterProtocol& formatter, Level level, std::string message) {
    prq::LogDetails details(level, {}, "original", "f()", "/a/File.cpp", 7);
    const std::string returned = formatter.format(details, message);
    EXPECT_EQ(returned, message);
    EXPECT_EQ(details.message, "original");
    EXPECT_EQ(details.level, level);
    return message;
}

TEST(ANSIColorLogFormatter, ColoursHaveTheirCodesAndNames) {
    const struct {
        ANSIColor color;
        const char* foreground;
        const char* background;
        const char* description;
    } cases[] = {
        {ANSIColor::black, "30", "40", "Black"},
        {ANSIColor::red, "31", "41", "Red"},
        {ANSIColor::green, "32", "42", "Green"},
        {ANSIColor::yellow, "33", "43", "Yellow"},
        {ANSIColor::blue, "34", "44", "Blue"},
        {ANSIColor::magenta, "35", "45", "Magenta"},
        {ANSIColor::cyan, "36", "46", "Cyan"},
        {ANSIColor::lightGrey, "37", "47", "Light Grey"},
        {ANSIColor::lightGray, "37", "47", "Light Grey"},
        {ANSIColor::darkGrey, "90", "100", "Dark Grey"},
        {ANSIColor::darkGray, "90", "100", "Dark Grey"},
        {ANSIColor::lightRed, "91", "101", "Light Red"},
        {ANSIColor::lightGreen, "92", "102", "Light Green"},
        {ANSIColor::lightYellow, "93", "103", "Light Yellow"},
        {ANSIColor::lightBlue, "94", "104", "Light Blue"},
        {ANSIColor::lightMagenta, "95", "105", "Light Magenta"},
        {ANSIColor::lightCyan, "96", "106", "Light Cyan"},
        {ANSIColor::white, "97", "107", "White"},
        {ANSIColor::default_, "39", "49", "Default"},
        {ANSIColor::rgb(300, 0, 128), "38;2;255;0;128", "48;2;255;0;128", "(r: 300, g: 0, b: 128) #12C0080"},
        {ANSIColor::rgb(-1, 17, 255), "38;2;0;17;255", "48;2;0;17;255", "(r: -1, g: 17, b: 255) #FFFFFFFF11FF"},
        {ANSIColor::colorIndex(999), "38;5;255", "48;5;255", "ANSI color index: 999"},
        {ANSIColor::colorIndex(-3), "38;5;0", "48;5;0", "ANSI color index: -3"},
        {ANSIColor::colorIndex(208), "38;5;208", "48;5;208", "ANSI color index: 208"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.color.foregroundCode(), c.foreground) << c.description;
        EXPECT_EQ(c.color.backgroundCode(), c.background) << c.description;
        EXPECT_EQ(c.color.description(), c.description);
    }
}

TEST(ANSIColorLogFormatter, OptionsHaveTheirCodesAndNames) {
    const struct {
        ANSIOption option;
        const char* code;
        const char* description;
    } cases[] = {
        {ANSIOption::bold, "1", "Bold"},
        {ANSIOption::faint, "2", "Faint"},
        {ANSIOption::italic, "3", "Italic"},
        {ANSIOption::underline, "4", "Underline"},
        {ANSIOption::blink, "5", "Blink"},
        {ANSIOption::blinkFast, "6", "Blink Fast"},
        {ANSIOption::strikethrough, "9", "Strikethrough"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(prq::code(c.option), c.code);
        EXPECT_EQ(prq::description(c.option), c.description);
    }
}

TEST(ANSIColorLogFormatter, ANewFormatterHoldsTheDefaultScheme) {
    const auto formatter = prq::create<ANSIColorLogFormatter>();
    const struct {
        Level level;
        std::string format;
        std::string description;
    } cases[] = {
        {Level::verbose, ESC + "[97;49;1m", "White on Default/Bold"},
        {Level::debug, ESC + "[30;49m", "Black on Default"},
        {Level::info, ESC + "[34;49m", "Blue on Default"},
        {Level::notice, ESC + "[m", "None"},
        {Level::warning, ESC + "[33;49m", "Yellow on Default"},
        {Level::error, ESC + "[31;49;1m", "Red on Default/Bold"},
        {Level::severe, ESC + "[97;41m", "White on Red"},
        {Level::alert, ESC + "[m", "None"},
        {Level::emergency, ESC + "[m", "None"},
        {Level::none, ESC + "[39;49m", "Default on Default"},
    };
    std::string description = "ANSIColorLogFormatter: ";
    for (const auto& c : cases) {
        EXPECT_EQ(formatter->formatString(c.level), c.format) << prq::description(c.level);
        EXPECT_EQ(formatted(*formatter, c.level, "Hello"), c.format + "Hello" + ESC + "[m");
        description += "\n\t- " + std::string(prq::description(c.level)) + " > " + c.description;
    }
    EXPECT_EQ(formatter->debugDescription(), description);
    EXPECT_EQ(formatted(*formatter, Level::error, ""), ESC + "[31;49;1m" + ESC + "[m");
    const std::string coloured = ESC + "[32mgreen" + ESC + "[0m";
    EXPECT_EQ(formatted(*formatter, Level::info, coloured), ESC + "[34;49m" + coloured + ESC + "[m");
}

TEST(ANSIColorLogFormatter, BuildsSequencesFromColoursOptionsOrTheCallersText) {
    const auto formatter = prq::create<ANSIColorLogFormatter>();
    const auto entry = [&](Level level) {
        return std::pair(formatter->formatStrings().at(level), formatter->descriptionStrings().at(level));
    };
    formatter->colorize(Level::notice, ANSIColor::green, ANSIColor::default_, {ANSIOption::italic});
    EXPECT_EQ(entry(Level::notice), std::pair(ESC + "[32;49;3m", std::string("Green on Default/Italic")));
    formatter->colorize(Level::alert, ANSIColor::red, ANSIColor::default_, {ANSIOption::bold, ANSIOption::bold});
    EXPECT_EQ(entry(Level::alert), std::pair(ESC + "[31;49;1;1m", std::string("Red on Default/Bold/Bold")));
    formatter->colorize(Level::info, ANSIColor::rgb(300, 0, 128));
    EXPECT_EQ(entry(Level::info),
              std::pair(ESC + "[38;2;255;0;128;49m", std::string("(r: 300, g: 0, b: 128) #12C0080 on Default")));
    formatter->colorize(Level::debug, ANSIColor::lightGray, ANSIColor::colorIndex(999));
    EXPECT_EQ(entry(Level::debug), std::pair(ESC + "[37;48;5;255m", std::string("Light Grey on ANSI color index: 999")));

    for (const std::string& custom : {std::string("38;5;208;1m"), ESC + "[38;5;208;1m"}) {
        formatter->colorize(Level::warning, custom);
        EXPECT_EQ(entry(Level::warning), std::pair(ESC + "[38;5;208;1m", std::string("Custom: 38;5;208;1m")));
    }
    formatter->colorize(Level::emergency, std::string(ANSIColorLogFormatter::escape));
    EXPECT_EQ(entry(Level::emergency), std::pair(ESC + "[", std::string("Custom: ")));
}

TEST(ANSIColorLogFormatter, ClearingAndResettingTouchOnlyTheSchemesLevels) {
    const auto formatter = prq::create<ANSIColorLogFormatter>();
    formatter->colorize(Level::notice, ANSIColor::green, ANSIColor::default_, {ANSIOption::italic});
    formatter->clearFormatting();
    EXPECT_EQ(formatter->formatString(Level::notice), ESC + "[32;49;3m");
    for (const Level level :
         {Level::verbose, Level::debug, Level::info, Level::warning, Level::error, Level::severe, Level::none}) {
        EXPECT_EQ(formatter->formatString(level), ESC + "[39;49m");
        EXPECT_EQ(formatter->descriptionStrings().at(level), "Default on Default");
    }
    formatter->resetFormatting();
    EXPECT_EQ(formatter->formatString(Level::verbose), ESC + "[97;49;1m");
    EXPECT_EQ(formatter->formatString(Level::notice), ESC + "[32;49;3m");

    // Without its format entry a level falls back to the reset; its description stays.
    auto formats = formatter->formatStrings();
    formats.erase(Level::info);
    formatter->setFormatStrings(formats);
    EXPECT_EQ(formatted(*formatter, Level::info, "x"), ESC + "[mx" + ESC + "[m");
    EXPECT_NE(formatter->debugDescription().find("Info > Blue on Default"), std::string::npos);
}

// A subclass's scheme is the one a new formatter starts with.
class QuietANSIColorLogFormatter : public ANSIColorLogFormatter {
public:
    using ANSIColorLogFormatter::ANSIColorLogFormatter;
    void resetFormatting() override { colorize(Level::error, ANSIColor::magenta); }
};

TEST(ANSIColorLogFormatter, SubclassSchemesApplyFromTheStart) {
    const auto formatter = prq::create<QuietANSIColorLogFormatter>();
    EXPECT_EQ(formatter->formatStrings(), (prq::LevelStrings{{Level::error, ESC + "[35;49m"}}));
    EXPECT_TRUE(formatter->debugDescription().starts_with("QuietANSIColorLogFormatter: \n\t- Verbose > None"));
}

TEST(Base64LogFormatter, EncodesTheUtf8BytesOnOneLine) {
    prq::Base64LogFormatter formatter;
    const struct {
        std::string message;
        std::string encoded;
    } cases[] = {
        {"abc", "YWJj"},
        {"Hi", "SGk="},
        {"", ""},
        {"\xc3\xbc", "w7w="},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foobar", "Zm9vYmFy"},
        {"\xff not UTF-8", "\xff not UTF-8"},  // no faithful UTF-8 form: left as it came
    };
    for (const auto& c : cases) EXPECT_EQ(formatted(formatter, Level::info, c.message), c.encoded);

    const auto longLine = formatted(formatter, Level::info, std::string(1000, 'a'));
    EXPECT_EQ(longLine.size(), 1336u);
    EXPECT_EQ(longLine.find('\n'), std::string::npos);
    EXPECT_EQ(formatted(formatter, Level::info, formatted(formatter, Level::info, "abc")), "WVdKag==");
    EXPECT_EQ(formatter.debugDescription(), "Base64LogFormatter");
}

TEST(Base64LogFormatter, LengthIsAlwaysAMultipleOfFour) {
    prq::Base64LogFormatter formatter;
    for (std::size_t length = 0; length < 40; ++length) {
        EXPECT_EQ(formatted(formatter, Level::info, std::string(length, 'x')).size() % 4, 0u) << length;
    }
}

TEST(XcodeColorsLogFormatter, NamedColoursHaveTheirComponents) {
    const struct {
        XcodeColor color;
        const char* foreground;
        const char* description;
    } cases[] = {
        {XcodeColors::red, "fg255,0,0", "(r: 255, g: 0, b: 0) #FF0000"},
        {XcodeColors::green, "fg0,255,0", "(r: 0, g: 255, b: 0) #00FF00"},
        {XcodeColors::blue, "fg0,0,255", "(r: 0, g: 0, b: 255) #0000FF"},
        {XcodeColors::black, "fg0,0,0", "(r: 0, g: 0, b: 0) #000000"},
        {XcodeColors::white, "fg255,255,255", "(r: 255, g: 255, b: 255) #FFFFFF"},
        {XcodeColors::lightGrey, "fg211,211,211", "(r: 211, g: 211, b: 211) #D3D3D3"},
        {XcodeColors::darkGrey, "fg169,169,169", "(r: 169, g: 169, b: 169) #A9A9A9"},
        {XcodeColors::orange, "fg255,165,0", "(r: 255, g: 165, b: 0) #FFA500"},
        {XcodeColors::purple, "fg170,0,170", "(r: 170, g: 0, b: 170) #AA00AA"},
        {XcodeColors::darkGreen, "fg0,128,0", "(r: 0, g: 128, b: 0) #008000"},
        {XcodeColors::cyan, "fg0,170,170", "(r: 0, g: 170, b: 170) #00AAAA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.color.foregroundCode(), c.foreground);
        EXPECT_EQ(c.color.backgroundCode(), "bg" + std::string(c.foreground + 2));
        EXPECT_EQ(c.color.description(), c.description);
    }
}

TEST(XcodeColorsLogFormatter, ComponentsSetLaterMustBeInRange) {
    XcodeColor color(300, 0, 0);  // kept as given
    EXPECT_EQ(color.foregroundCode(), "fg300,0,0");
    EXPECT_EQ(color.description(), "(r: 300, g: 0, b: 0) #12C0000");
    const struct {
        std::int64_t assigned;
        std::int64_t stored;
    } cases[] = {{256, 0}, {-1, 0}, {255, 255}, {0, 0}, {128, 128}};
    for (const auto& c : cases) {
        color.setRed(c.assigned);
        color.setGreen(c.assigned);
        color.setBlue(c.assigned);
        EXPECT_EQ(color.red(), c.stored);
        EXPECT_EQ(color.green(), c.stored);
        EXPECT_EQ(color.blue(), c.stored);
    }
    EXPECT_EQ(XcodeColor().foregroundCode(), "fg0,0,0");
}

TEST(XcodeColorsLogFormatter, PlatformColoursBecomeTruncatedComponents) {
    const struct {
        platform::ui::Color color;
        std::int64_t red, green, blue;
    } cases[] = {
        {platform::ui::Color::calibrated(1.0, 0.5, 0.0, 1.0), 255, 127, 0},
        {platform::ui::Color::sRGB(0.2, 0.4, 0.6, 1.0), 51, 102, 153},
        {platform::ui::Color::calibratedWhite(1.0, 1.0), 255, 255, 255},
        {platform::ui::Color::calibrated(std::nan(""), std::numeric_limits<double>::infinity(), 0.999, 1.0), 0, 255, 254},
    };
    for (const auto& c : cases) {
        const XcodeColor color(c.color);
        EXPECT_EQ(std::tuple(color.red(), color.green(), color.blue()), std::tuple(c.red, c.green, c.blue)) << c.color;
    }
}

TEST(XcodeColorsLogFormatter, ANewFormatterHoldsTheDefaultScheme) {
    const auto formatter = prq::create<prq::XcodeColorsLogFormatter>();
    const struct {
        Level level;
        std::string format;
        std::string description;
    } cases[] = {
        {Level::verbose, ESC + "[fg211,211,211;" + ESC + "[bg;", "(r: 211, g: 211, b: 211) #D3D3D3 on Default"},
        {Level::debug, ESC + "[fg169,169,169;" + ESC + "[bg;", "(r: 169, g: 169, b: 169) #A9A9A9 on Default"},
        {Level::info, ESC + "[fg0,0,255;" + ESC + "[bg;", "(r: 0, g: 0, b: 255) #0000FF on Default"},
        {Level::notice, ESC + "[;", "None"},
        {Level::warning, ESC + "[fg255,165,0;" + ESC + "[bg;", "(r: 255, g: 165, b: 0) #FFA500 on Default"},
        {Level::error, ESC + "[fg255,0,0;" + ESC + "[bg;", "(r: 255, g: 0, b: 0) #FF0000 on Default"},
        {Level::severe, ESC + "[fg255,255,255;" + ESC + "[bg255,0,0;",
         "(r: 255, g: 255, b: 255) #FFFFFF on (r: 255, g: 0, b: 0) #FF0000"},
        {Level::alert, ESC + "[;", "None"},
        {Level::emergency, ESC + "[;", "None"},
        {Level::none, ESC + "[;", "None"},
    };
    std::string description = "XcodeColorsLogFormatter: ";
    for (const auto& c : cases) {
        EXPECT_EQ(formatted(*formatter, c.level, "x"), c.format + "x" + ESC + "[;") << prq::description(c.level);
        description += "\n\t- " + std::string(prq::description(c.level)) + " > " + c.description;
    }
    EXPECT_EQ(formatter->debugDescription(), description);
    EXPECT_EQ(formatter->descriptionStrings().count(Level::notice), 0u);
    EXPECT_EQ(formatter->descriptionStrings().at(Level::none), "None");
}

TEST(XcodeColorsLogFormatter, ColouringOneSideResetsTheOther) {
    const auto formatter = prq::create<prq::XcodeColorsLogFormatter>();
    formatter->colorize(Level::notice, std::nullopt, XcodeColors::cyan);
    EXPECT_EQ(formatter->formatString(Level::notice), ESC + "[fg;" + ESC + "[bg0,170,170;");
    EXPECT_EQ(formatter->descriptionStrings().at(Level::notice), "Default on (r: 0, g: 170, b: 170) #00AAAA");
    formatter->colorize(Level::alert, XcodeColor(300, 0, 0));
    EXPECT_EQ(formatter->formatString(Level::alert), ESC + "[fg300,0,0;" + ESC + "[bg;");

    formatter->clearFormatting();
    EXPECT_EQ(formatter->formatString(Level::notice), ESC + "[fg;" + ESC + "[bg0,170,170;");
    EXPECT_EQ(formatter->formatString(Level::info), ESC + "[;");
    EXPECT_EQ(formatter->descriptionStrings().at(Level::info), "None");
    formatter->resetFormatting();
    EXPECT_EQ(formatter->formatString(Level::info), ESC + "[fg0,0,255;" + ESC + "[bg;");
    EXPECT_EQ(formatter->formatString(Level::notice), ESC + "[fg;" + ESC + "[bg0,170,170;");
}

TEST(PrePostFixLogFormatter, WrapsLinesPerLevel) {
    prq::PrePostFixLogFormatter formatter;
    EXPECT_EQ(formatted(formatter, Level::error, "x"), "x");
    formatter.apply("P", "Q", Level::error);
    EXPECT_EQ(formatted(formatter, Level::error, "x"), "PxQ");
    EXPECT_EQ(formatted(formatter, Level::warning, "x"), "x");
    formatter.apply("", std::nullopt, Level::warning);
    EXPECT_EQ(formatted(formatter, Level::warning, "x"), "x");

    std::string description = "PrePostFixLogFormatter: ";
    for (const Level level : prq::LevelAllCases) {
        const std::string line = level == Level::error ? "P | Q" : level == Level::warning ? " | None" : "None | None";
        description += "\n\t- " + std::string(prq::description(level)) + " > " + line;
    }
    EXPECT_EQ(formatter.debugDescription(), description);
}

TEST(PrePostFixLogFormatter, EachCallSettlesBothSidesOfItsLevels) {
    using Texts = prq::LevelStrings;
    Texts everyLevel;
    for (const Level level : prq::LevelAllCases) everyLevel[level] = "A";
    Texts everyLevelZ;
    for (const Level level : prq::LevelAllCases) everyLevelZ[level] = "Z";

    prq::PrePostFixLogFormatter formatter;
    formatter.apply("A");
    EXPECT_EQ(formatter.prefixStrings(), everyLevel);
    EXPECT_EQ(formatter.postfixStrings(), Texts{});
    formatter.apply(std::nullopt, "Z");
    EXPECT_EQ(formatter.prefixStrings(), Texts{});
    EXPECT_EQ(formatter.postfixStrings(), everyLevelZ);

    formatter.apply("A", std::nullopt, Level::info);
    formatter.apply(std::nullopt, "Z", Level::info);
    EXPECT_EQ(formatter.prefixStrings(), Texts{});
    formatter.apply(std::nullopt, std::nullopt, Level::debug);
    EXPECT_EQ(formatter.postfixStrings().count(Level::debug), 0u);
    EXPECT_EQ(formatter.postfixStrings().size(), 9u);

    formatter.apply();  // the same as clearing
    EXPECT_EQ(formatter.prefixStrings(), Texts{});
    EXPECT_EQ(formatter.postfixStrings(), Texts{});

    formatter.apply("A", "B");
    const auto description = formatter.debugDescription();
    EXPECT_NE(description.find("\n\t- Notice > A | B"), std::string::npos);
    EXPECT_TRUE(description.ends_with("\n\t- None > A | B"));
}

}  // namespace
