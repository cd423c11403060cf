// Levels, identifiers, log records, message values, call sites and type names.
#include "PRQLogger/Destinations/ConsoleDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Misc/CallSite.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "PRQLogger/Misc/LogDetails.hpp"
#include "PRQLogger/Misc/MessageText.hpp"
#include "PRQLogger/Misc/TypeName.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>

using prq::AnyValue;
using prq::Level;

namespace {

TEST(Level, RawValuesAndDescriptions) {
    const struct {
        int raw;
        std::optional<Level> level;
        const char* description;
    } cases[] = {
        {-1, std::nullopt, nullptr},        {0, Level::verbose, "Verbose"}, {1, Level::debug, "Debug"},
        {2, Level::info, "Info"},           {3, Level::notice, "Notice"},   {4, Level::warning, "Warning"},
        {5, Level::error, "Error"},         {6, Level::severe, "Severe"},   {7, Level::alert, "Alert"},
        {8, Level::emergency, "Emergency"}, {9, Level::none, "None"},       {10, std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(prq::LevelFromRaw(c.raw), c.level);
        if (c.level) {
            EXPECT_EQ(prq::description(*c.level), c.description);
            EXPECT_EQ(prq::rawValue(*c.level), c.raw);
        }
    }
}

TEST(Level, OrderAndCollections) {
    EXPECT_LT(Level::emergency, Level::none);
    EXPECT_LT(Level::verbose, Level::debug);
    EXPECT_GE(Level::info, Level::info);
    EXPECT_EQ(prq::LevelAllCases.size(), 10u);
    EXPECT_EQ(prq::LevelAll().size(), 9u);
    EXPECT_EQ(prq::LevelAll().front(), Level::verbose);
    EXPECT_EQ(prq::LevelAll().back(), Level::emergency);
}

TEST(Constants, EveryIdentifierExtendsTheBaseIdentifier) {
    using prq::Constants;
    EXPECT_EQ(Constants::baseIdentifier, "com.amberfieldworks.prqlogger");
    const std::pair<std::string_view, std::string_view> identifiers[] = {
        {Constants::defaultInstanceIdentifier, ".defaultInstance"},
        {Constants::baseConsoleDestinationIdentifier, ".logdestination.console"},
        {Constants::systemLogDestinationIdentifier, ".logdestination.console.nslog"},
        {Constants::fileDestinationIdentifier, ".logdestination.file"},
        {Constants::logQueueIdentifier, ".queue"},
        {Constants::userInfoKeyTags, ".tags"},
        {Constants::userInfoKeyDevs, ".devs"},
        {Constants::userInfoKeyInternal, ".internal"},
        {Constants::extendedAttributeArchivedLogIdentifierKey, ".archived.by"},
        {Constants::extendedAttributeArchivedLogTimestampKey, ".archived.at"},
    };
    for (const auto& [identifier, suffix] : identifiers) {
        EXPECT_EQ(identifier, std::string(Constants::baseIdentifier) + std::string(suffix));
    }
    EXPECT_EQ(Constants::versionString, "7.0.1");

    const auto& internal = Constants::internalUserInfo();
    ASSERT_EQ(internal.size(), 1u);
    const auto* mark = internal.at(std::string(Constants::userInfoKeyInternal)).get_if<bool>();
    ASSERT_NE(mark, nullptr);
    EXPECT_TRUE(*mark);
}

TEST(LogDetails, IsAValueWithAnEmptyUserInfoByDefault) {
    const prq::LogDetails original(Level::info, {}, "message", "f()", "/a/b.cpp", 7);
    EXPECT_TRUE(original.userInfo.empty());
    auto copy = original;
    copy.message = "changed";
    copy.userInfo.insert_or_assign("tag", "x");
    EXPECT_EQ(original.message, "message");
    EXPECT_TRUE(original.userInfo.empty());
}

TEST(AnyValue, KeepsBooleansApartFromNumbersAndDescribesEveryKind) {
    EXPECT_NE(AnyValue(true), AnyValue(1));
    EXPECT_TRUE(AnyValue(true).is<bool>());
    EXPECT_TRUE(AnyValue(1).is<std::int64_t>());
    EXPECT_TRUE(AnyValue('x').is<std::string>());
    EXPECT_EQ(AnyValue(5u), AnyValue(5));

    const std::pair<AnyValue, const char*> cases[] = {
        {AnyValue(true), "true"},
        {AnyValue(false), "false"},
        {AnyValue(42), "42"},
        {AnyValue(-7L), "-7"},
        {AnyValue(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {AnyValue(std::uint64_t{1} << 63), "9223372036854775808"},
        {AnyValue(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
        {AnyValue(8.0), "8.0"},
        {AnyValue(2.5f), "2.5"},
        {AnyValue("text"), "text"},
        {AnyValue(std::vector<std::string>{"a", "b"}), "[\"a\", \"b\"]"},
        {AnyValue(AnyValue::List{AnyValue("a"), AnyValue(1), AnyValue(true)}), "[\"a\", 1, true]"},
        {AnyValue(std::set<std::string>{"dev", "alice"}), "[\"alice\", \"dev\"]"},
        {AnyValue(AnyValue::List{}), "[]"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(value.description(), text);
}

TEST(MessageText, TextsStayAndNoneMeansNoMessage) {
    EXPECT_EQ(prq::messageText(std::string("as is")), "as is");
    EXPECT_EQ(prq::messageText("literal"), "literal");
    EXPECT_EQ(prq::messageText(std::string_view("view")), "view");
    EXPECT_EQ(prq::messageText(12), "12");
    EXPECT_EQ(prq::messageText(std::optional<int>(3)), "3");
    EXPECT_EQ(prq::messageText(std::optional<std::string>()), std::nullopt);
    EXPECT_EQ(prq::messageText(std::nullopt), std::nullopt);
    EXPECT_EQ(prq::messageText(static_cast<const char*>(nullptr)), std::nullopt);
}

struct ConnectView {
    prq::CallSite startConnection() { return {}; }
    template <class T>
    prq::CallSite generic(T) {
        return [] { return prq::CallSite(); }();
    }
};

TEST(CallSite, NamesTheCallingFunctionBareAndGivenPlacesStayAsGiven) {
    // clang-format off
    const prq::CallSite here; const std::int64_t line = __LINE__;
    // clang-format on
    EXPECT_EQ(here.functionName(), "TestBody()");
    EXPECT_TRUE(here.fileName().ends_with("tests/prqlogger/VocabularyTest.cpp"));
    EXPECT_EQ(here.lineNumber(), line);

    ConnectView view;
    EXPECT_EQ(view.startConnection().functionName(), "startConnection()");
    EXPECT_EQ(view.generic(1).functionName(), "generic()");

    const prq::CallSite given("run(with:)", "Given.swift", 12);
    EXPECT_EQ(given.functionName(), "run(with:)");
    EXPECT_EQ(given.fileName(), "Given.swift");
    EXPECT_EQ(given.lineNumber(), 12);
}

TEST(TypeName, NamesTheMostDerivedTypeWithoutNamespaces) {
    const std::shared_ptr<prq::DestinationProtocol> file = std::make_shared<prq::FileDestination>();
    EXPECT_EQ(prq::extractTypeName(*file), "FileDestination");
    EXPECT_EQ(prq::extractTypeName<prq::ConsoleDestination>(), "ConsoleDestination");
    EXPECT_EQ(prq::extractTypeName<prq::LogDetails>(), "LogDetails");
}

}  // namespace
