// The application's side of installing the helper: every road (a fresh install, an update, a
// user added to a helper installed for another) is one run of the bundle's helper as root, and
// each names the whole configuration; what it cannot do it says before asking for a password.

#include "platform/Services.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/security/Authorization.hpp"
#include "platform/servicemanagement/SystemdServiceManager.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

using platform::foundation::DomainError;
using platform::servicemanagement::SystemdJobPaths;
using platform::servicemanagement::SystemdServiceManager;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

using Texts = std::vector<std::string>;
constexpr const char* label = "com.corvantis.CorvantisHelper";
constexpr const char* domain = "system";

class SystemdServiceManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileSystem::createDirectories(paths.systemdRuntime));
        ASSERT_TRUE(FileSystem::createDirectories(paths.unitFolder));
        ASSERT_TRUE(FileSystem::createDirectories(resources));
        ASSERT_TRUE(FileSystem::createDirectories(program.parent_path()));
        ASSERT_TRUE(FileSystem::writeFileAtomically(program, "#!/bin/sh\n", 0755));
    }

    // The one launch that the last step made, and how many there were.
    std::string onlyLaunch() const {
        const auto launches = launcher->launches();
        return launches.size() == 1 ? launches.front() : "(" + std::to_string(launches.size()) + " launches)";
    }

    std::string client() const {
        return " --allow-uid " + std::to_string(::getuid()) + " --bundle-resources " + resources.string() +
               " --application-executable " + std::filesystem::read_symlink("/proc/self/exe").string();
    }

    corvantis::testing::TemporaryFolder folder;
    std::filesystem::path bundle = folder / "Corvantis VPN";
    std::filesystem::path resources = bundle / "Resources";
    std::filesystem::path program = bundle / "Contents/Library/LaunchServices" / label;
    SystemdJobPaths paths{folder / "units", folder / "libexec",         folder / "units",
                          folder / "run",   folder / "systemd-running", "/bin/systemctl"};
    std::shared_ptr<corvantis::testing::FakeProcessLauncher> launcher =
        std::make_shared<corvantis::testing::FakeProcessLauncher>();
    platform::ScopedServices services{[&] {
        auto services = platform::Services::current();
        services.processLauncherOverride = launcher;
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(bundle, resources);
        return services;
    }()};
    SystemdServiceManager manager{paths};
    std::shared_ptr<platform::security::Authorization> authorization = platform::security::Authorization::create();
};

TEST_F(SystemdServiceManagerTest, AnUpdateIsOneRunThatNamesTheWholeConfiguration) {
    if (::geteuid() != 0) GTEST_SKIP() << "for anyone but root the run goes through pkexec, which this test does not play";
    DomainError removeError;
    DomainError blessError;
    ASSERT_TRUE(manager.replaceJob(domain, label, *authorization, &removeError, &blessError));
    EXPECT_EQ(onlyLaunch(), program.string() + " --bless-job " + label + client());

    launcher->script(label, {{}, {"Unit is masked\n"}, 3});
    EXPECT_FALSE(manager.replaceJob(domain, label, *authorization, &removeError, &blessError));
    EXPECT_EQ(removeError.localizedDescription, "Unit is masked") << "the installed helper stays: the removal failed";
    EXPECT_TRUE(blessError.domain.empty());

    removeError = {};
    launcher->script(label, {{}, {"No space left on device\n"}, 1});
    EXPECT_FALSE(manager.replaceJob(domain, label, *authorization, &removeError, &blessError));
    EXPECT_TRUE(removeError.domain.empty());
    EXPECT_EQ(blessError.localizedDescription, "No space left on device");
}

TEST_F(SystemdServiceManagerTest, AUserIsAddedToAnInstalledHelperInOneRun) {
    if (::geteuid() != 0) GTEST_SKIP() << "for anyone but root the run goes through pkexec, which this test does not play";
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.serviceUnit(label), "[Service]\nExecStart=/usr/local/libexec/x\n", 0644));
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.configuration(label), "allow-uid = 1000\n", 0644));
    const auto job = manager.copyJobDictionary(domain, label);
    ASSERT_TRUE(job);
    EXPECT_EQ((*job)["ProgramArguments"], nlohmann::json::array({"/usr/local/libexec/x"}));
    EXPECT_EQ((*job)["AllowedUsers"], nlohmann::json::array({0, 1000})) << "root is always served";

    DomainError error;
    ASSERT_TRUE(manager.allowJobUser(domain, label, *authorization, &error)) << error.localizedDescription;
    EXPECT_EQ(onlyLaunch(), program.string() + " --configure-job " + label + client());
}

TEST_F(SystemdServiceManagerTest, WithoutSystemdInstallingFailsBeforeAnythingRunsAndSaysWhy) {
    std::filesystem::remove(paths.systemdRuntime);
    DomainError error;
    EXPECT_FALSE(manager.blessJob(domain, label, *authorization, &error));
    EXPECT_EQ(error.code, platform::servicemanagement::kSMErrorServiceUnavailable);
    EXPECT_EQ(error.localizedDescription, "systemd does not run this system, so the helper cannot be started on demand");
    EXPECT_TRUE(launcher->launches().empty()) << "no password is asked for in vain";
}

TEST(Authorization, AStatusThatKeepsRootAwayIsToldInWords) {
    using platform::security::Authorization;
    const auto authorization = Authorization::create();
    const auto denied = authorization->errorFor(platform::security::errAuthorizationDenied);
    EXPECT_EQ(denied.code, platform::security::errAuthorizationDenied);
    const bool pkexecInstalled = ::access(Authorization::pkexecProgram, X_OK) == 0;
    EXPECT_NE(denied.localizedDescription.find(pkexecInstalled ? "refused" : "is not installed"), std::string::npos)
        << denied.localizedDescription;
    EXPECT_EQ(authorization->errorFor(platform::security::errAuthorizationCanceled).localizedDescription,
              "The password prompt (pkexec) was dismissed");
}

}  // namespace
