#include "app/Keychain.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/ChildProcess.hpp"
#include "testbed/desktop/DesktopProgram.hpp"
#include "testbed/desktop/KeyringSession.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using corvantis::Keychain;
using corvantis::UserSettings;
using corvantis::testing::ChildProcess;
using corvantis::testing::ScopedEnvironment;
using corvantis::testing::TemporaryFolder;
using platform::security::KeychainQuery;
using platform::security::KeychainStore;

namespace {

constexpr const char* vpnPasswordId = "com.corvantis.password";
constexpr const char* accountPasswordId = "com.corvantis.accountPassword";

// The user's keychain as the application chooses it for the session it runs in, used through
// the application's settings store and keychain.
class SecretServiceKeychainTest : public ::testing::Test {
protected:
    // An installation from before: the account password in the clear in the settings, the VPN
    // password in the keychain file.
    void leaveAnEarlierInstallation() {
        ASSERT_TRUE(environment.defaults->set("clear-account-secret", "password"));
        ASSERT_TRUE(Keychain::setPassword("old-vpn-secret", vpnPasswordId));
    }

    // Starts the application's keychain on the keychain file the environment uses.
    void startKeychain() {
        auto services = platform::Services::current();
        services.keychainOverride = KeychainStore::forSession(keychainFile);
        scope = std::make_unique<platform::ScopedServices>(services);
    }

    // Whether a file of ours (settings, keychain and whatever lies beside them) holds `secret`,
    // as it is or in Base64.
    bool anyFileHolds(const std::string& secret) const {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(environment.folder.path())) {
            if (!entry.is_regular_file()) continue;
            const auto content = platform::foundation::FileSystem::readFile(entry.path());
            if (!content) continue;
            for (const auto& form : {secret, platform::foundation::Base64::encode(secret)}) {
                if (content.value().find(form) != std::string::npos) return true;
            }
        }
        return false;
    }

    // The item's secret as another client of the Secret Service reads it; empty for none.
    static std::string lookUp(const std::string& key) {
        return ChildProcess::run({"secret-tool", "lookup", "service", "Corvantis", "account", key}).output;
    }

    corvantis::testing::AppTestEnvironment environment;
    std::filesystem::path keychainFile = environment.folder / "keychain.json";
    std::unique_ptr<platform::ScopedServices> scope;
};

TEST_F(SecretServiceKeychainTest, WithASecretServiceThePasswordsMoveIntoTheKeyringAndNoFileOfOursHoldsThem) {
    using corvantis::testbed::KeyringSession;
    if (const auto missing = KeyringSession::missingProgram(); !missing.empty())
        GTEST_SKIP() << missing << " is not installed (scripts/setup installs it)";
    TemporaryFolder sessionFolder;
    KeyringSession session(sessionFolder.path());
    ASSERT_EQ(session.problem(), "");
    ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", session.busAddress());
    // Whatever crosses the session bus, as anyone who may watch it sees it.
    corvantis::testbed::DesktopProgram monitor(session.environment(), "dbus-monitor", {"--address", session.busAddress()});
    ASSERT_TRUE(monitor.waitForOutput("member=NameLost", std::chrono::seconds(30))) << monitor.output();
    leaveAnEarlierInstallation();

    startKeychain();
    EXPECT_EQ(UserSettings::password(), "clear-account-secret");
    EXPECT_FALSE(environment.defaults->object("password"));
    EXPECT_EQ(lookUp(accountPasswordId), "clear-account-secret");
    EXPECT_EQ(lookUp(vpnPasswordId), "old-vpn-secret");

    UserSettings::setVpnPassword("new-vpn-secret");
    UserSettings::setPassword("new-account-secret");
    EXPECT_EQ(lookUp(vpnPasswordId), "new-vpn-secret");
    EXPECT_EQ(UserSettings::password(), "new-account-secret");
    EXPECT_EQ(Keychain::passwordStringForVPNID(vpnPasswordId), "new-vpn-secret");
    // The persistent reference that the IKEv2 set-up hands over still finds the password.
    const auto reference = Keychain::passwordForVPNID(vpnPasswordId);
    ASSERT_TRUE(reference);
    const auto found =
        KeychainStore::standard()->copyMatching(KeychainQuery{.persistentRef = *reference}, KeychainStore::MatchLimit::one);
    ASSERT_EQ(found.items.size(), 1u);
    EXPECT_EQ(found.items[0].valueData, "new-vpn-secret");
    for (const auto* secret : {"clear-account-secret", "old-vpn-secret", "new-vpn-secret", "new-account-secret"}) {
        EXPECT_FALSE(anyFileHolds(secret)) << secret;
    }
    // The secrets went to the keyring and back in an encrypted session: the bus carried none.
    const auto marker =
        ChildProcess::run({"gdbus", "call", "--session", "--dest", "org.freedesktop.DBus", "--object-path",
                           "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.NameHasOwner", "after-the-secrets"});
    ASSERT_EQ(marker.exitCode, 0) << marker.output;
    ASSERT_TRUE(monitor.waitForOutput("after-the-secrets", std::chrono::seconds(30)));
    const auto watched = monitor.output();
    EXPECT_NE(watched.find("dh-ietf1024-sha256-aes128-cbc-pkcs7"), std::string::npos);
    for (const std::string secret : {"clear-account-secret", "old-vpn-secret", "new-vpn-secret", "new-account-secret"}) {
        std::string hex;
        for (const unsigned char c : secret)
            hex += (hex.empty() ? "" : " ") + std::string(1, "0123456789abcdef"[c >> 4]) +
                   std::string(1, "0123456789abcdef"[c & 0xF]);
        EXPECT_EQ(watched.find(secret), std::string::npos) << secret;
        EXPECT_EQ(watched.find(hex), std::string::npos) << secret;
    }

    UserSettings::setPassword(std::nullopt);  // logging out
    EXPECT_EQ(lookUp(accountPasswordId), "");
    EXPECT_FALSE(UserSettings::isPasswordStored());

    // A locked keyring, which only the user could unlock, takes nothing, and no file does instead.
    const auto locked = ChildProcess::run({"gdbus", "call", "--session", "--dest", "org.freedesktop.secrets", "--object-path",
                                           "/org/freedesktop/secrets", "--method", "org.freedesktop.Secret.Service.Lock",
                                           "['/org/freedesktop/secrets/collection/login']"});
    ASSERT_EQ(locked.exitCode, 0) << locked.output;
    UserSettings::setPassword("locked-out-secret");
    EXPECT_EQ(KeychainStore::standard()->lastProblem().value_or(platform::foundation::Error{}).code,
              platform::security::errSecInteractionNotAllowed);
    EXPECT_FALSE(anyFileHolds("locked-out-secret"));
    EXPECT_EQ(UserSettings::password(), "");
}

TEST_F(SecretServiceKeychainTest, WithoutASecretServiceThePasswordsLandInTheOwnersFileOnly) {
    TemporaryFolder runtime;
    ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnvironment userBus("XDG_RUNTIME_DIR", runtime.path().string());
    leaveAnEarlierInstallation();

    startKeychain();
    EXPECT_EQ(UserSettings::password(), "clear-account-secret");
    UserSettings::setVpnPassword("new-vpn-secret");
    EXPECT_FALSE(environment.defaults->object("password"));
    const auto settings = platform::foundation::FileSystem::readFile(environment.defaults->file());
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings.value().find("clear-account-secret"), std::string::npos);

    const auto file = KeychainStore::open(keychainFile);
    const auto account = file->copyMatching(KeychainQuery{.account = accountPasswordId}, KeychainStore::MatchLimit::one);
    const auto vpn = file->copyMatching(KeychainQuery{.account = vpnPasswordId}, KeychainStore::MatchLimit::one);
    ASSERT_EQ(account.items.size(), 1u);
    ASSERT_EQ(vpn.items.size(), 1u);
    EXPECT_EQ(account.items[0].valueData, "clear-account-secret");
    EXPECT_EQ(vpn.items[0].valueData, "new-vpn-secret");
    struct stat status {};
    ASSERT_EQ(::stat(keychainFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

}  // namespace
