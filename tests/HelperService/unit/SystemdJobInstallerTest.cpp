// The root side of installing the helper as a systemd job, with every path in a temporary folder
// and systemctl played by a fake launcher.

#include "platform/foundation/FileSystem.hpp"
#include "platform/servicemanagement/SystemdJobInstaller.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

using platform::servicemanagement::SystemdJobInstaller;
using platform::servicemanagement::SystemdJobPaths;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

constexpr const char* label = "com.corvantis.CorvantisHelper";

struct InstallerFixture {
    corvantis::testing::TemporaryFolder folder;
    std::shared_ptr<corvantis::testing::FakeProcessLauncher> launcher =
        std::make_shared<corvantis::testing::FakeProcessLauncher>();
    SystemdJobPaths paths{folder / "systemd", folder / "libexec",         folder / "etc",
                          folder / "run",     folder / "systemd-running", "/bin/systemctl"};
    SystemdJobInstaller installer{paths, launcher};
    std::filesystem::path program = folder / "bundle-copy";

    InstallerFixture() {
        EXPECT_TRUE(FileSystem::createDirectories(paths.systemdRuntime));
        EXPECT_TRUE(FileSystem::writeFileAtomically(program, "the helper program", 0755));
    }
    std::string read(const std::filesystem::path& path) const {
        const auto content = FileSystem::readFile(path);
        return content ? content.value() : "(none)";
    }
};

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(SystemdJobInstaller, BlessingInstallsTheProgramAndASocketThatStartsItForTheUser) {
    InstallerFixture fixture;
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, 1000));
    EXPECT_EQ(fixture.read(fixture.paths.program(label)), "the helper program");
    EXPECT_EQ(modeOf(fixture.paths.program(label)), 0755u);
    EXPECT_EQ(fixture.read(fixture.paths.socketUnit(label)), fixture.installer.socketUnitText(label));
    EXPECT_NE(fixture.installer.socketUnitText(label).find("ListenStream=" + fixture.paths.socket(label).string()),
              std::string::npos);
    EXPECT_NE(fixture.installer.serviceUnitText(label).find("ExecStart=" + fixture.paths.program(label).string() + "\n"),
              std::string::npos);
    EXPECT_EQ(fixture.read(fixture.paths.configuration(label)), "allow-uid = 1000\n");
    EXPECT_EQ(fixture.launcher->launches(),
              (std::vector<std::string>{"/bin/systemctl daemon-reload",
                                        "/bin/systemctl enable --now com.corvantis.CorvantisHelper.socket"}));

    // Again, for another user and for the same one: each is listed once.
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, 1001));
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, 1000));
    EXPECT_EQ(fixture.read(fixture.paths.configuration(label)), "allow-uid = 1000\nallow-uid = 1001\n");
}

TEST(SystemdJobInstaller, RemovingStopsTheJobAndKeepsItsUsers) {
    InstallerFixture fixture;
    EXPECT_FALSE(fixture.installer.remove(label)) << "nothing installed yet";
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, 1000));
    ASSERT_TRUE(fixture.installer.remove(label));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.program(label)));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.serviceUnit(label)));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.socketUnit(label)));
    EXPECT_EQ(fixture.read(fixture.paths.configuration(label)), "allow-uid = 1000\n");
    EXPECT_EQ(fixture.launcher->launches().at(2),
              "/bin/systemctl disable --now com.corvantis.CorvantisHelper.socket com.corvantis.CorvantisHelper.service");
}

TEST(SystemdJobInstaller, WithoutSystemdOrWithAFailingSystemctlItSaysWhy) {
    InstallerFixture fixture;
    std::filesystem::remove(fixture.paths.systemdRuntime);
    const auto refused = fixture.installer.bless(label, fixture.program, 1000);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("systemd does not run this system"), std::string::npos);
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.program(label)));

    ASSERT_TRUE(FileSystem::createDirectories(fixture.paths.systemdRuntime));
    fixture.launcher->script("systemctl", {{}, {"Failed to enable unit"}, 1});
    const auto failed = fixture.installer.bless(label, fixture.program, 1000);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message, "/bin/systemctl daemon-reload failed: Failed to enable unit");
}

}  // namespace
