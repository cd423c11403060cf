#include "HelperService/CorvantisHelper/LoginItem.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using corvantis::helper::LoginItem;
using corvantis::helper::UserAccount;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

struct LoginItemFixture {
    TemporaryFolder folder;
    std::filesystem::path home = folder / "home";
    LoginItem item{"/opt/corvantis/corvantis-vpn", [this](uid_t) -> platform::foundation::Expected<UserAccount> {
                       return UserAccount{home, ::getegid()};
                   }};
    std::filesystem::path entry = home / ".config" / "autostart" / LoginItem::entryName;

    LoginItemFixture() { std::filesystem::create_directory(home); }
};

TEST(LoginItem, AddWritesAnAutostartEntryAndRemoveDeletesIt) {
    LoginItemFixture fixture;
    ASSERT_TRUE(fixture.item.add(::geteuid()));
    EXPECT_EQ(FileSystem::readFile(fixture.entry).value(),
              "[Desktop Entry]\nType=Application\nName=Corvantis VPN\nExec=\"/opt/corvantis/corvantis-vpn\"\n"
              "X-GNOME-Autostart-enabled=true\n");
    // The settings screen sends the add line on every showing: the entry stays one.
    ASSERT_TRUE(fixture.item.add(::geteuid()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fixture.entry.parent_path()), {}), 1);
    ASSERT_TRUE(fixture.item.remove(::geteuid()));
    EXPECT_FALSE(FileSystem::fileExists(fixture.entry));
    EXPECT_TRUE(fixture.item.remove(::geteuid()));
}

TEST(LoginItem, TheProgramIsQuotedAsDesktopEntriesRequire) {
    EXPECT_NE(LoginItem::desktopEntry("/opt/My \"VPN\" $HOME/50%\\x")
                  .find("Exec=\"/opt/My \\\\\"VPN\\\\\" \\\\$HOME/50%%\\\\\\\\x\"\n"),
              std::string::npos);
}

TEST(LoginItem, FailuresAreValues) {
    LoginItem unknownUser("/opt/corvantis/corvantis-vpn", [](uid_t) -> platform::foundation::Expected<UserAccount> {
        return platform::foundation::Error{ENOENT, "No home folder is known for user 4711"};
    });
    EXPECT_FALSE(unknownUser.add(4711));
    LoginItem noProgram({}, [](uid_t) -> platform::foundation::Expected<UserAccount> { return UserAccount{"/", 0}; });
    const auto added = noProgram.add(::geteuid());
    ASSERT_FALSE(added);
    EXPECT_NE(added.error().message.find("No application program"), std::string::npos);
}

struct OtherUserFixture {
    static constexpr uid_t nobody = 65534;
    TemporaryFolder folder;
    std::filesystem::path home = folder / "nobody";
    LoginItem item{"/opt/corvantis/corvantis-vpn", [this](uid_t) -> platform::foundation::Expected<UserAccount> {
                       return UserAccount{home, nobody};
                   }};

    OtherUserFixture() {
        ::chmod(folder.path().c_str(), 0755);
        std::filesystem::create_directory(home);
        EXPECT_EQ(::chown(home.c_str(), nobody, nobody), 0);
    }
};

TEST(LoginItem, RootWritesTheEntryAsTheCallingUser) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act for another user";
    OtherUserFixture fixture;
    ASSERT_TRUE(fixture.item.add(OtherUserFixture::nobody));
    for (const auto& path : {fixture.home / ".config", fixture.home / ".config" / "autostart",
                             fixture.home / ".config" / "autostart" / LoginItem::entryName}) {
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_uid, OtherUserFixture::nobody) << path;
    }
    // The helper's own thread is root again afterwards.
    const auto rootFile = fixture.folder / "root-owned";
    ASSERT_TRUE(FileSystem::writeFileAtomically(rootFile, "x", 0600));
    struct stat info {};
    ASSERT_EQ(::stat(rootFile.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 0u);
}

TEST(LoginItem, APlantedSymbolicLinkCannotMakeRootWriteElsewhere) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act for another user";
    OtherUserFixture fixture;
    const auto rootFolder = fixture.folder / "root-only";
    std::filesystem::create_directory(rootFolder);
    ::chmod(rootFolder.c_str(), 0755);
    std::filesystem::create_directory(fixture.home / ".config");
    ASSERT_EQ(::chown((fixture.home / ".config").c_str(), OtherUserFixture::nobody, OtherUserFixture::nobody), 0);
    std::filesystem::create_directory_symlink(rootFolder, fixture.home / ".config" / "autostart");
    EXPECT_FALSE(fixture.item.add(OtherUserFixture::nobody));
    EXPECT_TRUE(std::filesystem::is_empty(rootFolder));
}

}  // namespace
