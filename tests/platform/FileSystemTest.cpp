#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

TEST(FileSystem, MoveRefusesToReplaceAnExistingFile) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "a", "new", 0644));
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "b", "old", 0644));
    const auto moved = FileSystem::moveItemNoReplace(folder / "a", folder / "b");
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().code, EEXIST);
    EXPECT_EQ(FileSystem::readFile(folder / "b").value(), "old");
    EXPECT_EQ(FileSystem::readFile(folder / "a").value(), "new");

    ASSERT_TRUE(FileSystem::moveItemNoReplace(folder / "a", folder / "c"));
    EXPECT_FALSE(FileSystem::fileExists(folder / "a"));
    EXPECT_EQ(FileSystem::readFile(folder / "c").value(), "new");
}

TEST(FileSystem, AtomicWriteReplacesContentSetsTheModeAndLeavesNoTemporaryFile) {
    TemporaryFolder folder;
    const auto file = folder / "secret.conf";
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, "first", 0644));
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, std::string(300000, 'z'), 0600));
    EXPECT_EQ(FileSystem::readFile(file).value(), std::string(300000, 'z'));
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

TEST(FileSystem, ListsVisibleEntriesAndRemovesItemsWithoutRecursing) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "shown", "twelve bytes", 0644));
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / ".hidden", "x", 0644));
    ASSERT_TRUE(FileSystem::createDirectories(folder / "full" / "inside"));
    std::filesystem::create_symlink(folder / "shown", folder / "link");

    auto entries = FileSystem::contentsOfDirectory(folder.path()).value();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::filesystem::path>{folder / "full", folder / "link", folder / "shown"}));
    auto withHidden = FileSystem::contentsOfDirectory(folder.path(), FileSystem::HiddenEntries::include).value();
    std::sort(withHidden.begin(), withHidden.end());
    EXPECT_EQ(withHidden,
              (std::vector<std::filesystem::path>{folder / ".hidden", folder / "full", folder / "link", folder / "shown"}));
    EXPECT_EQ(FileSystem::contentsOfDirectory(folder / "missing").error().code, ENOENT);

    EXPECT_EQ(FileSystem::attributesOfItem(folder / "link").value().size, 12u);
    EXPECT_EQ(FileSystem::attributesOfItem(folder / "missing").error().code, ENOENT);

    ASSERT_TRUE(FileSystem::removeItem(folder / "link"));
    EXPECT_TRUE(FileSystem::fileExists(folder / "shown"));  // the link went, not its target
    EXPECT_EQ(FileSystem::removeItem(folder / "full").error().code, ENOTEMPTY);
    EXPECT_TRUE(FileSystem::isDirectory(folder / "full" / "inside"));
    EXPECT_TRUE(FileSystem::removeItem(folder / "full" / "inside"));
    EXPECT_EQ(FileSystem::removeItem(folder / "missing").error().code, ENOENT);
}

TEST(FileSystem, CopyReplacesTheTargetWholeOrLeavesItAsItWas) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "archive", std::string(200000, 'a'), 0600));
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "chosen", "an older, unrelated file", 0644));
    ASSERT_TRUE(FileSystem::copyFileReplacing(folder / "archive", folder / "chosen"));
    EXPECT_EQ(FileSystem::readFile(folder / "chosen").value(), std::string(200000, 'a'));
    EXPECT_EQ(FileSystem::readFile(folder / "archive").value(), std::string(200000, 'a'));

    const auto missing = FileSystem::copyFileReplacing(folder / "missing", folder / "chosen");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_FALSE(FileSystem::copyFileReplacing(folder.path(), folder / "chosen"));  // a folder is no file
    EXPECT_FALSE(FileSystem::copyFileReplacing(folder / "archive", folder / "no such folder" / "chosen"));
    EXPECT_EQ(FileSystem::readFile(folder / "chosen").value(), std::string(200000, 'a'));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);  // no temporary file left
}

TEST(FileSystem, FailuresAreValuesWithTheSystemReason) {
    TemporaryFolder folder;
    const auto missing = FileSystem::readFile(folder / "missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_NE(missing.error().message.find("No such file"), std::string::npos);

    const auto noFolder = FileSystem::writeFileAtomically(folder / "no" / "such" / "file", "x", 0600);
    EXPECT_FALSE(noFolder);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 0);

    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "plain", "x", 0600));
    EXPECT_FALSE(FileSystem::createDirectories(folder / "plain" / "sub"));
    EXPECT_TRUE(FileSystem::createDirectories(folder / "x" / "y" / "z"));
    EXPECT_TRUE(FileSystem::isDirectory(folder / "x" / "y" / "z"));
    EXPECT_TRUE(FileSystem::createDirectories(folder / "x" / "y" / "z"));
}

TEST(PrivateTemporaryDirectory, CreatesAFolderClosedToOthers) {
    TemporaryFolder folder;
    const auto made = platform::foundation::ensurePrivateDirectory(folder / "corvantis-1000", ::getuid());
    ASSERT_TRUE(made) << made.error().message;
    struct stat info {};
    ASSERT_EQ(::lstat(made.value().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ::chmod(made.value().c_str(), 0777);
    ASSERT_TRUE(platform::foundation::ensurePrivateDirectory(made.value(), ::getuid()));
    ASSERT_EQ(::lstat(made.value().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(PrivateTemporaryDirectory, RefusesASymlinkEvenToAGoodFolder) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder / "real");
    ::chmod((folder / "real").c_str(), 0700);
    std::filesystem::create_directory_symlink(folder / "real", folder / "planted");
    const auto refused = platform::foundation::ensurePrivateDirectory(folder / "planted", ::getuid());
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("symbolic link"), std::string::npos);
}

TEST(PrivateTemporaryDirectory, RefusesAFolderOwnedBySomeoneElseOrAFile) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder / "foreign");
    const uid_t someoneElse = ::getuid() == 0 ? 65534 : 0;
    if (::getuid() == 0) {
        ASSERT_EQ(::chown((folder / "foreign").c_str(), someoneElse, 0), 0);
    }
    const auto refused = platform::foundation::ensurePrivateDirectory(folder / "foreign", ::getuid());
    ASSERT_FALSE(refused);
    if (::getuid() == 0) {
        EXPECT_NE(refused.error().message.find("belongs to user 65534"), std::string::npos);
    }

    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "file", "x", 0600));
    EXPECT_FALSE(platform::foundation::ensurePrivateDirectory(folder / "file", ::getuid()));
}

TEST(PrivateTemporaryDirectory, PrefersTmpdirWhenItNamesAFolder) {
    TemporaryFolder folder;
    const char* saved = std::getenv("TMPDIR");
    const std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
    ::setenv("TMPDIR", folder.path().c_str(), 1);
    const auto chosen = platform::foundation::privateTemporaryDirectory();
    ::setenv("TMPDIR", (folder / "missing").c_str(), 1);
    const auto fallback = platform::foundation::privateTemporaryDirectory();
    if (previous) {
        ::setenv("TMPDIR", previous->c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen.value(), folder.path());
    ASSERT_TRUE(fallback) << fallback.error().message;
    EXPECT_EQ(fallback.value(), std::filesystem::path("/tmp/corvantis-" + std::to_string(::getuid())));
}

}  // namespace
