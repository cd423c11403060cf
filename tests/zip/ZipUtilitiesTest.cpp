#include "ArchiveFixtures.hpp"
#include "Zip/ZipUtilities.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

std::vector<std::pair<std::string, std::string>> namesAndPaths(const std::vector<ZipUtilities::ProcessedFilePath>& items) {
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& item : items) result.emplace_back(item.fileName.value_or("<none>"), item.filePath());
    return result;
}

TEST(ZipUtilities, FilesKeepTheirNameAndOrderAndMissingOnesStayItems) {
    TemporaryFolder folder;
    writeFile(folder / "b.log", "b");
    writeFile(folder / "a.log", "a");
    const auto items =
        ZipUtilities().processZipPaths({urlOf(folder / "b.log"), urlOf(folder / "a.log"), urlOf(folder / "gone.log")});
    EXPECT_EQ(namesAndPaths(items),
              (std::vector<std::pair<std::string, std::string>>{{"b.log", (folder / "b.log").string()},
                                                                {"a.log", (folder / "a.log").string()},
                                                                {"gone.log", (folder / "gone.log").string()}}));
    EXPECT_TRUE(ZipUtilities().processZipPaths({}).empty());
}

TEST(ZipUtilities, FoldersExpandDepthFirstUnderTheirOwnName) {
    TemporaryFolder folder;
    writeFile(folder / "Logs" / "x.txt", "x");
    writeFile(folder / "Logs" / "sub" / "y.txt", "y");
    writeFile(folder / "Logs" / ".hidden", "h");
    writeFile(folder / "Logs" / "z.txt", "z");
    std::filesystem::create_directories(folder / "Logs" / "empty" / "deeper");
    const auto items = ZipUtilities().processZipPaths({urlOf(folder / "Logs"), urlOf(folder / "Logs" / "x.txt")});
    EXPECT_EQ(namesAndPaths(items), (std::vector<std::pair<std::string, std::string>>{
                                        {"Logs/.hidden", (folder / "Logs" / ".hidden").string()},
                                        {"Logs/sub/y.txt", (folder / "Logs" / "sub" / "y.txt").string()},
                                        {"Logs/x.txt", (folder / "Logs" / "x.txt").string()},
                                        {"Logs/z.txt", (folder / "Logs" / "z.txt").string()},
                                        {"x.txt", (folder / "Logs" / "x.txt").string()},
                                    }));
}

TEST(ZipUtilities, LinksToFoldersAreLeftOutAndOtherLinksAreItems) {
    TemporaryFolder folder;
    writeFile(folder / "elsewhere" / "inside.txt", "i");
    writeFile(folder / "Logs" / "real.txt", "r");
    std::filesystem::create_directory_symlink(folder / "elsewhere", folder / "Logs" / "folder-link");
    std::filesystem::create_symlink(folder / "Logs" / "real.txt", folder / "Logs" / "file-link");
    std::filesystem::create_symlink(folder / "nowhere", folder / "Logs" / "dangling");
    std::vector<std::string> names;
    for (const auto& item : ZipUtilities().expandDirectoryFilePath(urlOf(folder / "Logs"))) names.push_back(*item.fileName);
    EXPECT_EQ(names, (std::vector<std::string>{"Logs/dangling", "Logs/file-link", "Logs/real.txt"}));
}

}  // namespace
