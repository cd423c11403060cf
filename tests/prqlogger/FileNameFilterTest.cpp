// The file-name filter: by last path component or by whole path, include-only or exclude.
#include "PRQLogger/Filters/FileNameFilter.hpp"
#include "PRQLogger/Misc/Constants.hpp"

#include <gtest/gtest.h>

using prq::FileNameFilter;

namespace {

bool excludes(FileNameFilter& filter, const std::string& fileName) {
    prq::LogDetails details(prq::Level::info, {}, "message", "f()", fileName, 3);
    std::string line = "> message";
    const bool excluded = filter.shouldExclude(details, line);
    EXPECT_EQ(details.fileName, fileName);
    EXPECT_EQ(line, "> message");
    return excluded;
}

TEST(FileNameFilter, MatchesByNameOrByWholePath) {
    const auto byName = FileNameFilter::excludeFrom({"/src/app/Net.src"});
    const auto byPath = FileNameFilter::excludeFrom({"Net.src", "/src/app/Ui.src"}, false);
    const struct {
        const char* fileName;
        bool byName;
        bool byPath;
    } cases[] = {
        {"/other/place/Net.src", true, false},
        {"Net.src", true, true},
        {"/src/app/Net.src", true, false},
        {"/src/app/Net.src/", true, false},  // trailing slashes are ignored
        {"net.src", false, false},           // case counts
        {"/src/app/Ui.src", false, true},
        {"/src/app/Ui.src ", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(excludes(*byName, c.fileName), c.byName) << c.fileName;
        EXPECT_EQ(excludes(*byPath, c.fileName), c.byPath) << c.fileName;
    }
}

TEST(FileNameFilter, IncludeOnlyDropsEverythingElseInternalMessagesIncluded) {
    const auto include = FileNameFilter::includeFrom({"/a/Kept.src"});
    EXPECT_FALSE(excludes(*include, "/b/Kept.src"));
    EXPECT_TRUE(excludes(*include, "/b/Other.src"));
    EXPECT_TRUE(excludes(*include, ""));  // the logger's own messages have no file

    EXPECT_TRUE(excludes(*FileNameFilter::includeFrom({}), "/a/Kept.src"));
    EXPECT_FALSE(excludes(*FileNameFilter::excludeFrom({}), "/a/Kept.src"));
    EXPECT_FALSE(excludes(*FileNameFilter::includeFrom({""}), ""));
    EXPECT_TRUE(excludes(*FileNameFilter::excludeFrom({""}), ""));
}

TEST(FileNameFilter, AddingReducesTheNameFirstAndReportsRepeats) {
    const auto filter = FileNameFilter::excludeFrom({});
    EXPECT_TRUE(filter->add("/a/Net.src"));
    EXPECT_FALSE(filter->add("/b/Net.src"));
    EXPECT_EQ(filter->debugDescription(), "FileNameFilter: Excluding matches for: Net.src");

    filter->setInverse(true);  // the same names, now the only ones kept
    EXPECT_FALSE(excludes(*filter, "/c/Net.src"));
    EXPECT_TRUE(excludes(*filter, "/c/Ui.src"));
    filter->clear();
    EXPECT_TRUE(excludes(*filter, "/c/Net.src"));
}

TEST(FileNameFilter, DescribesItsSortedNames) {
    EXPECT_EQ(FileNameFilter::includeFrom({"b.src", "a.src"})->debugDescription(),
              "FileNameFilter: Including only matches for: a.src, b.src");
    EXPECT_EQ(FileNameFilter::excludeFrom({"6", "5", "4", "3", "2", "1"})->debugDescription(),
              "FileNameFilter: Excluding matches for: \n\t- 1\n\t- 2\n\t- 3\n\t- 4\n\t- 5\n\t- 6");
}

}  // namespace
