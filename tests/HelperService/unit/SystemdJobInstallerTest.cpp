// The root side of installing the helper as a systemd job, with every path in a temporary folder
// and systemctl played by a fake launcher: the one run that installs, updates or configures it,
// the configuration every road writes, and the units' sandbox.

#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "HelperService/CorvantisHelper/KillSwitchGuard.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/servicemanagement/JobCommand.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"
#include "platform/servicemanagement/SystemdJobInstaller.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

using platform::servicemanagement::JobCommand;
using platform::servicemanagement::JobConfiguration;
using platform::servicemanagement::SystemdJobInstaller;
using platform::servicemanagement::SystemdJobPaths;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

using Texts = std::vector<std::string>;
constexpr const char* label = "com.corvantis.CorvantisHelper";

struct InstallerFixture {
    corvantis::testing::TemporaryFolder folder;
    std::shared_ptr<corvantis::testing::FakeProcessLauncher> launcher =
        std::make_shared<corvantis::testing::FakeProcessLauncher>();
    SystemdJobPaths paths{folder / "systemd", folder / "libexec",         folder / "etc",
                          folder / "run",     folder / "systemd-running", "/bin/systemctl"};
    SystemdJobInstaller installer{paths, launcher,
                                  [](uid_t user) { return std::filesystem::path("/home/u" + std::to_string(user)); }};
    std::filesystem::path program = folder / "bundle-copy";
    JobConfiguration::Client client{"/opt/corvantis/Resources", "/opt/corvantis/corvantis-vpn", 1000};

    InstallerFixture() {
        EXPECT_TRUE(FileSystem::createDirectories(paths.systemdRuntime));
        EXPECT_TRUE(FileSystem::writeFileAtomically(program, "the helper program", 0755));
    }
    std::string read(const std::filesystem::path& path) const {
        const auto content = FileSystem::readFile(path);
        return content ? content.value() : "(none)";
    }
    // Runs the job command line as the program would, with its reasons.
    std::pair<int, std::string> run(const Texts& arguments) const {
        const auto command = JobCommand::parse(arguments);
        if (!command) return {JobCommand::usageStatus, command.error().message};
        std::ostringstream reasons;
        const int status = command.value().run(installer, program, reasons);
        return {status, reasons.str()};
    }
};

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(SystemdJobInstaller, BlessingInstallsTheProgramAndASocketThatStartsItAndTheWholeConfiguration) {
    InstallerFixture fixture;
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, fixture.client));
    EXPECT_EQ(fixture.read(fixture.paths.program(label)), "the helper program");
    EXPECT_EQ(modeOf(fixture.paths.program(label)), 0755u);
    EXPECT_EQ(fixture.read(fixture.paths.socketUnit(label)), fixture.installer.socketUnitText(label));
    EXPECT_NE(fixture.installer.socketUnitText(label).find("ListenStream=" + fixture.paths.socket(label).string()),
              std::string::npos);
    EXPECT_EQ(fixture.read(fixture.paths.serviceUnit(label)), fixture.installer.serviceUnitText(label, {1000}));
    EXPECT_EQ(fixture.read(fixture.paths.configuration(label)),
              "allow-uid = 1000\nbundle-resources = /opt/corvantis/Resources\n"
              "application-executable = /opt/corvantis/corvantis-vpn\n");
    EXPECT_EQ(modeOf(fixture.paths.configuration(label)), 0644u);
    EXPECT_EQ(fixture.launcher->launches(),
              (Texts{"/bin/systemctl daemon-reload", "/bin/systemctl enable --now com.corvantis.CorvantisHelper.socket"}));
}

TEST(SystemdJobInstaller, TheConfigurationKeepsItsUsersAndOtherLinesAndRefusesWhatALineCannotHold) {
    JobConfiguration configuration(
        "# set by the administrator\nallow-uid = 1000, 1002\nopenvpn = /opt/openvpn\n"
        "bundle-resources = /old/Resources\n");
    ASSERT_TRUE(configuration.serve({"/new/Resources", "/new/corvantis-vpn", 1002}));
    ASSERT_TRUE(configuration.serve({"/new/Resources", "/new/corvantis-vpn", 1001}));
    EXPECT_EQ(configuration.text(),
              "# set by the administrator\nallow-uid = 1000, 1002\nopenvpn = /opt/openvpn\nallow-uid = 1001\n"
              "bundle-resources = /new/Resources\napplication-executable = /new/corvantis-vpn\n");
    EXPECT_EQ(configuration.allowedUsers(), (std::set<uid_t>{1000, 1001, 1002}));

    const auto before = configuration.text();
    for (const std::filesystem::path bad : {"relative/Resources", "/x\nopenvpn = /tmp/evil", "/x # y", "/x "}) {
        EXPECT_FALSE(configuration.serve({bad, "/new/corvantis-vpn", 1003})) << bad;
        EXPECT_FALSE(configuration.serve({"/new/Resources", bad, 1003})) << bad;
    }
    EXPECT_EQ(configuration.text(), before);
}

TEST(SystemdJobInstaller, AnUpdateRemovesTheInstalledJobAndInstallsTheNewOneInOneRun) {
    InstallerFixture fixture;
    const Texts bless{"--bless-job",
                      label,
                      "--allow-uid",
                      "1000",
                      "--bundle-resources",
                      "/opt/corvantis/Resources",
                      "--application-executable",
                      "/opt/corvantis/corvantis-vpn"};
    ASSERT_EQ(fixture.run(bless).first, 0);
    ASSERT_TRUE(FileSystem::writeFileAtomically(fixture.program, "the new helper program", 0755));
    const auto before = fixture.launcher->launches().size();
    EXPECT_EQ(fixture.run(bless), (std::pair<int, std::string>{0, ""}));
    const auto launches = fixture.launcher->launches();
    EXPECT_EQ(Texts(launches.begin() + static_cast<long>(before), launches.end()),
              (Texts{"/bin/systemctl disable --now com.corvantis.CorvantisHelper.socket com.corvantis.CorvantisHelper.service",
                     "/bin/systemctl daemon-reload", "/bin/systemctl daemon-reload",
                     "/bin/systemctl enable --now com.corvantis.CorvantisHelper.socket"}));
    EXPECT_EQ(fixture.read(fixture.paths.program(label)), "the new helper program");

    // An installed job that cannot be stopped is left as it was, with a status of its own.
    fixture.launcher->script("systemctl", {{}, {"Unit is masked"}, 1});
    ASSERT_TRUE(FileSystem::writeFileAtomically(fixture.program, "a third program", 0755));
    const auto [status, reason] = fixture.run(bless);
    EXPECT_EQ(status, JobCommand::removalFailedStatus);
    EXPECT_NE(reason.find("Unit is masked"), std::string::npos) << reason;
    EXPECT_EQ(fixture.read(fixture.paths.program(label)), "the new helper program");
}

TEST(SystemdJobInstaller, ConfiguringAddsTheUserAndHasARunningJobFollow) {
    InstallerFixture fixture;
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, fixture.client));
    const auto before = fixture.launcher->launches().size();
    const auto [status, reason] =
        fixture.run({"--configure-job", label, "--allow-uid", "1001", "--bundle-resources", "/opt/corvantis/Resources",
                     "--application-executable", "/opt/corvantis/corvantis-vpn"});
    EXPECT_EQ(status, 0) << reason;
    EXPECT_TRUE(fixture.installer.isInstalled(label));
    EXPECT_EQ(JobConfiguration(fixture.read(fixture.paths.configuration(label))).allowedUsers(), (std::set<uid_t>{1000, 1001}));
    EXPECT_NE(fixture.read(fixture.paths.serviceUnit(label)).find("ReadWritePaths=\"-/home/u1001\""), std::string::npos)
        << "the new user's launch-at-login entry can be written";
    const auto launches = fixture.launcher->launches();
    EXPECT_EQ(Texts(launches.begin() + static_cast<long>(before), launches.end()),
              (Texts{"/bin/systemctl daemon-reload", "/bin/systemctl try-restart com.corvantis.CorvantisHelper.service"}));

    // Without systemd (scripts/install on such a machine) only the configuration is written.
    std::filesystem::remove(fixture.paths.systemdRuntime);
    EXPECT_EQ(
        fixture.run({"--configure-job", label, "--bundle-resources", "/b/Resources", "--application-executable", "/b/app"}).first,
        0);
    EXPECT_EQ(fixture.launcher->launches().size(), launches.size());
    EXPECT_NE(fixture.read(fixture.paths.configuration(label)).find("bundle-resources = /b/Resources\n"), std::string::npos);
}

TEST(SystemdJobInstaller, TheServiceRunsSandboxedWritingOnlyWhatItMust) {
    InstallerFixture fixture;
    const auto unit = fixture.installer.serviceUnitText(label, {1000, 1001});
    for (const char* line :
         {"\nNoNewPrivileges=yes\n", "\nPrivateTmp=yes\n", "\nProtectSystem=strict\n", "\nProtectHome=read-only\n",
          "\nStateDirectory=corvantis\n", "\nReadWritePaths=\"-/etc\"\n", "\nReadWritePaths=\"-/run\"\n",
          "\nReadWritePaths=\"-/home/u1000\"\n", "\nReadWritePaths=\"-/home/u1001\"\n"}) {
        EXPECT_NE(unit.find(line), std::string::npos) << line << " in\n" << unit;
    }
    EXPECT_NE(fixture.installer.socketUnitText(label).find("\nRemoveOnStop=yes\n"), std::string::npos);

    // The kill-switch guard writes nothing and never looks into a home.
    const auto guard = corvantis::helper::KillSwitchGuard::unitText("/etc/corvantis/corvantis_guard.sh");
    for (const char* line :
         {"\nNoNewPrivileges=yes\n", "\nPrivateTmp=yes\n", "\nProtectSystem=strict\n", "\nProtectHome=yes\n"}) {
        EXPECT_NE(guard.find(line), std::string::npos) << line << " in\n" << guard;
    }
    EXPECT_EQ(guard.find("ReadWritePaths"), std::string::npos) << guard;
}

TEST(SystemdJobInstaller, RemovingStopsTheJobAndKeepsItsUsers) {
    InstallerFixture fixture;
    EXPECT_FALSE(fixture.installer.remove(label)) << "nothing installed yet";
    ASSERT_TRUE(fixture.installer.bless(label, fixture.program, fixture.client));
    ASSERT_TRUE(fixture.installer.remove(label));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.program(label)));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.serviceUnit(label)));
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.socketUnit(label)));
    EXPECT_EQ(JobConfiguration(fixture.read(fixture.paths.configuration(label))).allowedUsers(), (std::set<uid_t>{1000}));
    EXPECT_EQ(fixture.launcher->launches().at(2),
              "/bin/systemctl disable --now com.corvantis.CorvantisHelper.socket com.corvantis.CorvantisHelper.service");
}

TEST(SystemdJobInstaller, WithoutSystemdOrWithAFailingSystemctlItSaysWhy) {
    InstallerFixture fixture;
    std::filesystem::remove(fixture.paths.systemdRuntime);
    const auto refused = fixture.installer.bless(label, fixture.program, fixture.client);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("systemd does not run this system"), std::string::npos);
    EXPECT_FALSE(FileSystem::fileExists(fixture.paths.program(label)));

    ASSERT_TRUE(FileSystem::createDirectories(fixture.paths.systemdRuntime));
    fixture.launcher->script("systemctl", {{}, {"Failed to enable unit"}, 1});
    const auto failed = fixture.installer.bless(label, fixture.program, fixture.client);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message, "/bin/systemctl daemon-reload failed: Failed to enable unit");
}

TEST(SystemdJobInstaller, TheHelperReadsEveryUserTheInstallerWritesAndNeitherTakesTheIdOfNoUser) {
    InstallerFixture fixture;
    const auto configure = [&](const std::string& user) {
        return fixture.run({"--configure-job", label, "--allow-uid", user, "--bundle-resources", "/opt/corvantis/Resources",
                            "--application-executable", "/opt/corvantis/corvantis-vpn"});
    };
    const auto file = fixture.paths.configuration(label);
    const auto highest = static_cast<uid_t>(-2);
    ASSERT_EQ(configure(std::to_string(highest)).first, 0);
    const auto served = corvantis::helper::HelperConfiguration::load({"--config", file.string()});
    ASSERT_TRUE(served) << served.error().message;
    EXPECT_EQ(served.value().allowedUids, std::set<uid_t>{highest});

    // (uid_t)-1 is no one's id: refused before anything is written, and by the helper likewise.
    const std::string noUser = "\"4294967295\" is not a user id: it is (uid_t)-1, which stands for no user";
    EXPECT_EQ(configure("4294967295"), (std::pair<int, std::string>{JobCommand::usageStatus, "--allow-uid: " + noUser}));
    EXPECT_EQ(JobConfiguration(fixture.read(file)).allowedUsers(), std::set<uid_t>{highest});
    const auto refused = corvantis::helper::HelperConfiguration::load({"--config", file.string(), "--allow-uid=4294967295"});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message, "allow-uid: " + noUser);
}

TEST(SystemdJobInstaller, TheCommandLineReadsBackAsBuiltAndNothingElse) {
    const JobCommand bless{JobCommand::Action::bless, label, {"/b/Resources", "/b/corvantis-vpn", 1000}};
    const auto parsed = JobCommand::parse(bless.arguments());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed.value().arguments(), bless.arguments());
    EXPECT_EQ(JobCommand::parse({"--remove-job", label}).value().action, JobCommand::Action::remove);
    for (const Texts& wrong :
         {Texts{"--bless-job", label}, Texts{"--remove-job", label, "--allow-uid", "1"},
          Texts{"--configure-job", label, "--allow-uid", "x", "--bundle-resources", "/b", "--application-executable", "/c"},
          Texts{"--bless-job", label, "--bundle-resources", "/b", "--bundle-resources", "/c", "--application-executable", "/d"},
          Texts{"--configure-job", label, "--openvpn", "/b", "--bundle-resources", "/b", "--application-executable", "/c"}}) {
        EXPECT_FALSE(JobCommand::parse(wrong)) << ::testing::PrintToString(wrong);
    }
}

}  // namespace
