// Tags and developer names, their `|` merge, and the filters on user information.
#include "PRQLogger/Filters/DevFilter.hpp"
#include "PRQLogger/Filters/TagFilter.hpp"
#include "PRQLogger/Filters/UserInfoFilter.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "PRQLogger/Misc/Optional/UserInfoHelpers.hpp"

#include <gtest/gtest.h>

using prq::AnyValue;
using prq::Dev;
using prq::Level;
using prq::Tag;
using prq::UserInfo;
using List = AnyValue::List;
using prq::operator|;

namespace {

const std::string tags(prq::Constants::userInfoKeyTags);
const std::string devs(prq::Constants::userInfoKeyDevs);

List texts(std::initializer_list<const char*> items) {
    return List(items.begin(), items.end());
}

TEST(UserInfoLabels, CarryTheirNameUnderTheirOwnKey) {
    EXPECT_EQ(Tag("ui").dictionary(), (std::map<std::string, std::string>{{tags, "ui"}}));
    EXPECT_EQ(Dev::name("ana").dictionary(), (std::map<std::string, std::string>{{devs, "ana"}}));
    Tag renamed("a");
    renamed.setName("b");
    EXPECT_EQ(renamed.name(), "b");
    EXPECT_EQ(Tag::names("a", "a"), (std::map<std::string, std::vector<std::string>>{{tags, {"a", "a"}}}));
    EXPECT_EQ(Dev::names(), (std::map<std::string, std::vector<std::string>>{{devs, {}}}));
}

TEST(UserInfoLabels, MergeWithBarJoinsSharedKeysInOrder) {
    const UserInfo withSet{{tags, AnyValue(AnyValue::Set{AnyValue("s")})}};
    const struct {
        const char* what;
        UserInfo merged;
        UserInfo expected;
    } cases[] = {
        {"two tags", Tag("a") | Tag("b"), {{tags, texts({"a", "b"})}}},
        {"tag and dev", Tag("a") | Dev("x"), {{tags, "a"}, {devs, "x"}}},
        {"list then tag", (Tag("a") | Tag("b")) | Tag("c"), {{tags, texts({"a", "b", "c"})}}},
        {"tag then list", Tag("a") | (Tag("b") | Tag("c")), {{tags, texts({"b", "c", "a"})}}},
        {"map then tag: the tag first", UserInfo{{tags, "a"}} | Tag("b"), {{tags, texts({"b", "a"})}}},
        {"tag then map", Tag("b") | UserInfo{{tags, "a"}}, {{tags, texts({"b", "a"})}}},
        {"other keys stay", UserInfo{{"k", "v"}} | Tag("t"), {{"k", "v"}, {tags, "t"}}},
        {"a set on the right keeps the left", Tag("t") | withSet, {{tags, "t"}}},
        {"a set in the map loses to the tag", withSet | Tag("t"), {{tags, "t"}}},
        {"a set on the left survives", withSet | UserInfo{{tags, "u"}}, withSet},
        {"lists join, left first",
         UserInfo{{tags, texts({"a"})}} | UserInfo{{tags, texts({"b", "c"})}},
         {{tags, texts({"a", "b", "c"})}}},
        {"a single value follows a right list",
         UserInfo{{tags, "a"}} | UserInfo{{tags, texts({"b"})}},
         {{tags, texts({"b", "a"})}}},
        {"numbers pair up", UserInfo{{"n", 1}} | UserInfo{{"n", true}}, {{"n", List{AnyValue(1), AnyValue(true)}}}},
        {"names lists join", Tag::names("a", "b") | Tag::names("c"), {{tags, texts({"a", "b", "c"})}}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.merged, c.expected) << c.what;
}

prq::LogDetails event(UserInfo userInfo) {
    return prq::LogDetails(Level::info, {}, "message", "f()", "/src/File.cpp", 1, std::move(userInfo));
}

bool excludes(prq::FilterProtocol& filter, UserInfo userInfo) {
    auto details = event(std::move(userInfo));
    std::string line = "> message";
    const bool excluded = filter.shouldExclude(details, line);
    EXPECT_EQ(line, "> message");  // filters change neither
    return excluded;
}

TEST(UserInfoFilters, DropByWhatTheKeyHolds) {
    const auto exclude = prq::TagFilter::excludeFrom({"ui", "net"});
    const auto include = prq::TagFilter::includeFrom({"ui", "net"});
    const struct {
        const char* what;
        UserInfo userInfo;
        bool matches;
    } cases[] = {
        {"a matching text", Tag("ui") | UserInfo{}, true},
        {"another text", {{tags, "db"}}, false},
        {"case counts", {{tags, "UI"}}, false},
        {"no trimming", {{tags, "ui "}}, false},
        {"a list with a match", Tag("db") | Tag("net"), true},
        {"a list without", Tag("db") | Tag("io"), false},
        {"a set with a match", {{tags, AnyValue(std::set<std::string>{"x", "ui"})}}, true},
        {"a list holding a number", {{tags, List{AnyValue("ui"), AnyValue(3)}}}, false},
        {"a number", {{tags, 7}}, false},
        {"no entry", {{devs, "ui"}}, false},
        {"nothing at all", {}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(excludes(*exclude, c.userInfo), c.matches) << c.what;
        EXPECT_EQ(excludes(*include, c.userInfo), !c.matches) << c.what;
    }
}

TEST(UserInfoFilters, TreatInternalMessagesAsMatchingNothingUnlessAskedTo) {
    const UserInfo internal = prq::Constants::internalUserInfo() | UserInfo{{tags, "ui"}};
    const auto include = prq::TagFilter::includeFrom({"ui"});
    const auto exclude = prq::TagFilter::excludeFrom({"ui"});
    EXPECT_TRUE(excludes(*include, internal));
    EXPECT_FALSE(excludes(*exclude, internal));

    include->setApplyFilterToInternalMessages(true);
    exclude->setApplyFilterToInternalMessages(true);
    EXPECT_FALSE(excludes(*include, internal));  // tested like any event: it carries "ui"
    EXPECT_TRUE(excludes(*exclude, internal));

    // Only a true flag marks an internal message.
    const auto strict = prq::TagFilter::includeFrom({"ui"});
    EXPECT_FALSE(excludes(*strict, {{std::string(prq::Constants::userInfoKeyInternal), false}, {tags, "ui"}}));
    EXPECT_FALSE(excludes(*strict, {{std::string(prq::Constants::userInfoKeyInternal), "true"}, {tags, "ui"}}));
}

TEST(UserInfoFilters, WithoutItemsIncludeOnlyDropsEverythingAndExcludeNothing) {
    EXPECT_TRUE(excludes(*prq::TagFilter::includeFrom({}), prq::Constants::internalUserInfo()));
    EXPECT_TRUE(excludes(*prq::TagFilter::includeFrom({}), Tag("a") | UserInfo{}));
    EXPECT_FALSE(excludes(*prq::TagFilter::excludeFrom({}), Tag("a") | UserInfo{}));
}

TEST(UserInfoFilters, KindDecidesTheKeyAndLabelsGiveOnlyTheirNames) {
    const auto byDev = prq::DevFilter::includeFrom(std::vector<Tag>{Tag("ana")});
    EXPECT_EQ(byDev->userInfoKey(), devs);
    EXPECT_FALSE(excludes(*byDev, Dev("ana") | UserInfo{}));
    EXPECT_TRUE(excludes(*byDev, Tag("ana") | UserInfo{}));

    const auto byTag = prq::TagFilter::includeFrom(std::vector<Dev>{Dev("ui")});
    EXPECT_TRUE(excludes(*byTag, Tag("net") | UserInfo{}));
    EXPECT_FALSE(excludes(*byTag, Tag("ui") | Tag("net")));

    // A plain filter looks up the key it is given, at first the empty one.
    const auto plain = prq::UserInfoFilter::excludeFrom(std::set<std::string>{"v"});
    EXPECT_EQ(plain->userInfoKey(), "");
    EXPECT_TRUE(excludes(*plain, {{"", "v"}}));
    EXPECT_FALSE(excludes(*plain, {{"k", "v"}}));
    plain->setUserInfoKey("k");
    EXPECT_TRUE(excludes(*plain, {{"k", "v"}}));
}

TEST(UserInfoFilters, ItemsCanBeAddedOnceAndCleared) {
    const auto filter = prq::TagFilter::excludeFrom({"a"});
    EXPECT_FALSE(filter->add("a"));
    EXPECT_TRUE(filter->add("b"));
    EXPECT_TRUE(excludes(*filter, {{tags, "b"}}));
    filter->clear();
    EXPECT_FALSE(excludes(*filter, {{tags, "a"}}));
}

TEST(UserInfoFilters, DescribeThemselvesWithTheirSortedItems) {
    const auto exclude = prq::TagFilter::excludeFrom({"b", "a"});
    EXPECT_EQ(exclude->debugDescription(), "TagFilter: Excluding matches for: a, b");
    EXPECT_EQ(prq::TagFilter::excludeFrom({})->debugDescription(), "TagFilter: Excluding matches for: ");

    const auto include = prq::DevFilter::includeFrom({"f", "e", "d", "c", "b", "a"});
    include->setApplyFilterToInternalMessages(true);
    EXPECT_EQ(include->debugDescription(),
              "DevFilter: (Filtering Internal) Including only matches for: \n\t- a\n\t- b\n\t- c\n\t- d\n\t- e\n\t- f");
    EXPECT_EQ(prq::UserInfoFilter::includeFrom({"e", "d", "c", "b", "a"})->debugDescription(),
              "UserInfoFilter: Including only matches for: a, b, c, d, e");
}

// A subclass's operations take effect already while the filter is being made.
class LowerCaseTagFilter : public prq::TagFilter {
public:
    using TagFilter::TagFilter;
    bool add(const std::string& item) override {
        std::string lower = item;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return TagFilter::add(lower);
    }
};

TEST(UserInfoFilters, SubclassOverridesReachTheSetUp) {
    const auto filter = prq::create<LowerCaseTagFilter>(false, prq::TextSequence{"UI"});
    EXPECT_TRUE(excludes(*filter, {{tags, "ui"}}));
    EXPECT_EQ(filter->debugDescription(), "LowerCaseTagFilter: Excluding matches for: ui");
}

}  // namespace
