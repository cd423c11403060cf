#include "platform/Services.hpp"
#include "platform/dispatch/VirtualClock.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ReplacementFile.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::ReplacementFile;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

std::size_t itemsIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(ReplacementFile, TakesTheTargetsPlaceOnlyWhenCommitted) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "target", "old", 0644));
    {
        auto dropped = ReplacementFile::create(folder / "target");
        ASSERT_TRUE(dropped);
        ASSERT_EQ(::write(dropped.value().fd(), "half", 4), 4);
        // Nothing that a crash now could leave behind.
        EXPECT_EQ(itemsIn(folder.path()), 1u);
    }
    EXPECT_EQ(FileSystem::readFile(folder / "target").value(), "old");
    EXPECT_EQ(itemsIn(folder.path()), 1u);

    const mode_t previous = ::umask(027);
    auto file = ReplacementFile::create(folder / "target");
    ::umask(previous);
    ASSERT_TRUE(file);
    ASSERT_EQ(::write(file.value().fd(), "new", 3), 3);
    ASSERT_TRUE(file.value().commit());
    EXPECT_EQ(FileSystem::readFile(folder / "target").value(), "new");
    struct stat info {};
    ASSERT_EQ(::stat((folder / "target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ReplacementFile, ReplacesASymbolicLinkInsteadOfWritingThroughIt) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "elsewhere", "keep", 0644));
    std::filesystem::create_symlink(folder / "elsewhere", folder / "link");
    auto file = ReplacementFile::create(folder / "link");
    ASSERT_TRUE(file);
    ASSERT_EQ(::write(file.value().fd(), "mine", 4), 4);
    ASSERT_TRUE(file.value().commit());
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "link"));
    EXPECT_EQ(FileSystem::readFile(folder / "link").value(), "mine");
    EXPECT_EQ(FileSystem::readFile(folder / "elsewhere").value(), "keep");
}

TEST(ReplacementFile, FailuresAreValues) {
    TemporaryFolder folder;
    EXPECT_FALSE(ReplacementFile::create(folder / "missing" / "target"));
    std::filesystem::create_directories(folder / "taken");
    auto file = ReplacementFile::create(folder / "taken");
    ASSERT_TRUE(file);
    EXPECT_FALSE(file.value().commit());
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ReplacementFile, OnlyStaleTemporariesOfTheSameTargetAreRemoved) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "settings.json", "{}", 0600));
    for (const char* name : {".settings.json.Ab3dE9", ".other.json.Ab3dE9", ".settings.json.notmine"}) {
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / name, "copy", 0600));
    }
    const auto namedNow = std::chrono::system_clock::now();
    const auto lookAt = [&](std::chrono::seconds later) {
        platform::ScopedServices services({.clockOverride = std::make_shared<platform::dispatch::VirtualClock>(
                                               std::chrono::time_point_cast<platform::dispatch::Duration>(namedNow + later))});
        ReplacementFile::removeStaleTemporaries(folder / "settings.json");
    };
    lookAt(std::chrono::seconds(30));
    EXPECT_EQ(itemsIn(folder.path()), 4u) << "a temporary named just now may belong to a live writer";
    lookAt(std::chrono::minutes(5));
    EXPECT_FALSE(FileSystem::fileExists(folder / ".settings.json.Ab3dE9"));
    EXPECT_EQ(itemsIn(folder.path()), 3u);
}

}  // namespace
