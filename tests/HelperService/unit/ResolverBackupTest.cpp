#include "HelperService/CorvantisHelper/ResolverBackup.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using corvantis::helper::ResolverBackup;
using corvantis::helper::ResolverPaths;
using corvantis::testing::RecordingHelperLog;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

struct BackupFixture {
    TemporaryFolder folder;
    ResolverPaths paths{folder / "etc-resolv.conf", folder / "var-resolv.conf", folder / "corvantis_resolv.conf"};
    std::shared_ptr<RecordingHelperLog> log = std::make_shared<RecordingHelperLog>();
    ResolverBackup backup{paths, log};

    void write(const std::filesystem::path& path, const std::string& content) {
        ASSERT_TRUE(FileSystem::writeFileAtomically(path, content, 0644));
    }
    std::string read(const std::filesystem::path& path) { return FileSystem::readFile(path).value(); }
};

TEST(ResolverBackup, BacksUpTheLiveFileAndRestoresBothWhenOneIsMissing) {
    BackupFixture fixture;
    fixture.write(fixture.paths.var, "nameserver 192.168.1.1\n");
    fixture.write(fixture.paths.etc, "nameserver 192.168.1.1\n");
    fixture.backup.backup();
    EXPECT_EQ(fixture.read(fixture.paths.backup), "nameserver 192.168.1.1\n");
    EXPECT_TRUE(fixture.log->mentions("Created " + fixture.paths.backup.string() + " backup"));
    struct stat info {};
    ASSERT_EQ(::stat(fixture.paths.backup.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // Both present: nothing is touched.
    fixture.write(fixture.paths.etc, "changed by the VPN\n");
    fixture.backup.restore();
    EXPECT_EQ(fixture.read(fixture.paths.etc), "changed by the VPN\n");

    // Only the second missing: both are rewritten from the copy.
    std::filesystem::remove(fixture.paths.var);
    fixture.backup.restore();
    EXPECT_EQ(fixture.read(fixture.paths.etc), "nameserver 192.168.1.1\n");
    EXPECT_EQ(fixture.read(fixture.paths.var), "nameserver 192.168.1.1\n");
    EXPECT_TRUE(fixture.log->mentions("resolv.conf was missing. Restored from backup file"));
}

TEST(ResolverBackup, AMissingLiveFileKeepsTheEarlierBackup) {
    BackupFixture fixture;
    fixture.write(fixture.paths.backup, "nameserver 10.0.0.1\n");
    fixture.backup.backup();
    EXPECT_EQ(fixture.read(fixture.paths.backup), "nameserver 10.0.0.1\n");
    EXPECT_TRUE(fixture.log->mentions("resolv.conf is missing. Can't create backup"));
}

TEST(ResolverBackup, WithNeitherFileNorBackupNothingIsWritten) {
    BackupFixture fixture;
    fixture.backup.restore();
    EXPECT_TRUE(fixture.log->mentions("resolv.conf is missing. No backup file found"));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.etc));
}

TEST(ResolverBackup, SameFileForBothPathsIsWrittenOnce) {
    TemporaryFolder folder;
    auto log = std::make_shared<RecordingHelperLog>();
    ResolverPaths paths{folder / "resolv.conf", folder / "resolv.conf", folder / "backup"};
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.backup, "nameserver 1.1.1.1\n", 0644));
    ResolverBackup(paths, log).restore();
    EXPECT_EQ(FileSystem::readFile(paths.etc).value(), "nameserver 1.1.1.1\n");
}

TEST(ResolverBackup, RestoreRefusesABackupSomeoneElseCouldHaveWritten) {
    struct Case {
        std::string name;
        std::function<void(BackupFixture&)> plant;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"symbolic link",
         [](BackupFixture& f) {
             f.write(f.folder / "planted", "nameserver 6.6.6.6\n");
             std::filesystem::create_symlink(f.folder / "planted", f.paths.backup);
         },
         "symbolic link"},
        {"writable by others",
         [](BackupFixture& f) {
             f.write(f.paths.backup, "nameserver 6.6.6.6\n");
             ::chmod(f.paths.backup.c_str(), 0666);
         },
         "writable by group or others"},
        {"second name",
         [](BackupFixture& f) {
             f.write(f.folder / "original", "nameserver 6.6.6.6\n");
             std::filesystem::create_hard_link(f.folder / "original", f.paths.backup);
         },
         "more than one name"},
        {"folder", [](BackupFixture& f) { std::filesystem::create_directory(f.paths.backup); }, "not a regular file"},
    };
    for (const auto& testCase : cases) {
        BackupFixture fixture;
        testCase.plant(fixture);
        fixture.backup.restore();
        EXPECT_FALSE(FileSystem::fileExists(fixture.paths.etc)) << testCase.name;
        EXPECT_TRUE(fixture.log->mentions("Can't read corvantis_resolv.conf backup file")) << testCase.name;
        EXPECT_TRUE(fixture.log->mentions(testCase.reason)) << testCase.name;
    }
}

TEST(ResolverBackup, RestoreRefusesABackupOwnedByAnotherUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    BackupFixture fixture;
    fixture.write(fixture.paths.backup, "nameserver 6.6.6.6\n");
    ASSERT_EQ(::chown(fixture.paths.backup.c_str(), 65534, 65534), 0);
    fixture.backup.restore();
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.etc));
    EXPECT_TRUE(fixture.log->mentions("belongs to uid 65534"));
}

TEST(ResolverBackup, BackupReplacesAPlantedSymbolicLinkInsteadOfWritingThroughIt) {
    BackupFixture fixture;
    fixture.write(fixture.paths.var, "nameserver 192.168.1.1\n");
    fixture.write(fixture.folder / "victim", "precious\n");
    std::filesystem::create_symlink(fixture.folder / "victim", fixture.paths.backup);
    fixture.backup.backup();
    EXPECT_EQ(fixture.read(fixture.folder / "victim"), "precious\n");
    EXPECT_FALSE(std::filesystem::is_symlink(fixture.paths.backup));
    EXPECT_EQ(fixture.read(fixture.paths.backup), "nameserver 192.168.1.1\n");
}

}  // namespace
