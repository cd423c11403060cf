#include "app/Keychain.hpp"
#include "app/KeychainWrapper.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "testbed/desktop/KeyringSession.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <ostream>

using corvantis::Keychain;
using corvantis::KeychainWrapper;
using corvantis::testbed::KeyringSession;
using corvantis::testing::ScopedEnvironment;
using corvantis::testing::TemporaryFolder;
using platform::security::KeychainQuery;
using platform::security::KeychainStore;

namespace {

enum class Store { file, secretService };

std::string nameOf(Store store) {
    return store == Store::file ? "InTheFile" : "InTheSecretService";
}

void PrintTo(Store store, std::ostream* stream) {
    *stream << nameOf(store);
}

// The same contract in the owner's file and in the session's Secret Service.
class KeychainTest : public ::testing::TestWithParam<Store> {
protected:
    void SetUp() override {
        if (GetParam() == Store::file) return;
        if (const auto missing = KeyringSession::missingProgram(); !missing.empty())
            GTEST_SKIP() << missing << " is not installed (scripts/setup installs it)";
        session = std::make_unique<KeyringSession>(sessionFolder.path());
        ASSERT_EQ(session->problem(), "");
        bus = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", session->busAddress());
        keychain = KeychainStore::forSession(environment.folder / "keychain.json");
        auto services = platform::Services::current();
        services.keychainOverride = keychain;
        scope = std::make_unique<platform::ScopedServices>(services);
    }

    std::vector<platform::security::KeychainItem> items() const {
        return keychain->copyMatching(KeychainQuery{}, KeychainStore::MatchLimit::all).items;
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<KeychainStore> keychain = environment.keychain;
    TemporaryFolder sessionFolder;
    std::unique_ptr<KeyringSession> session;
    std::unique_ptr<ScopedEnvironment> bus;
    std::unique_ptr<platform::ScopedServices> scope;
};

INSTANTIATE_TEST_SUITE_P(Stores, KeychainTest, ::testing::Values(Store::file, Store::secretService),
                         [](const auto& store) { return nameOf(store.param); });

TEST_P(KeychainTest, AVpnPasswordIsOneGenericPasswordItem) {
    EXPECT_TRUE(Keychain::setPassword("abc", "com.corvantis.password"));
    const auto stored = items();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].service, "Corvantis");
    EXPECT_EQ(stored[0].account, "com.corvantis.password");
    EXPECT_EQ(stored[0].account->size(), 22u);
    EXPECT_EQ(stored[0].generic, "com.corvantis.password");
    EXPECT_EQ(stored[0].valueData, "abc");
    EXPECT_EQ(stored[0].accessible, platform::security::accessibleWhenUnlocked);
    EXPECT_FALSE(stored[0].accessGroup);
}

TEST_P(KeychainTest, ASecondPasswordReplacesTheFirst) {
    Keychain::setPassword("first", "com.corvantis.password");
    Keychain::setPassword("second", "com.corvantis.password");
    ASSERT_EQ(items().size(), 1u);
    EXPECT_EQ(Keychain::passwordStringForVPNID("com.corvantis.password"), "second");
}

TEST_P(KeychainTest, AnEmptyPasswordRemovesTheItemAndSucceeds) {
    Keychain::setPassword("first", "com.corvantis.password");
    EXPECT_TRUE(Keychain::setPassword("", "com.corvantis.password"));
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(Keychain::passwordStringForVPNID("com.corvantis.password"));
}

TEST_P(KeychainTest, ThePasswordReferenceIsThePersistentReferenceNotThePassword) {
    EXPECT_FALSE(Keychain::passwordForVPNID("com.corvantis.password"));
    Keychain::setPassword("abc", "com.corvantis.password");
    const auto reference = Keychain::passwordForVPNID("com.corvantis.password");
    ASSERT_TRUE(reference);
    EXPECT_NE(*reference, "abc");
    const auto found = keychain->copyMatching(KeychainQuery{.persistentRef = *reference}, KeychainStore::MatchLimit::one);
    ASSERT_EQ(found.items.size(), 1u);
    EXPECT_EQ(found.items[0].valueData, "abc");
}

TEST_P(KeychainTest, TheSecretIsFiledUnderTheKeyWithPskAppended) {
    EXPECT_TRUE(Keychain::setSecret("shared", "com.corvantis.password"));
    EXPECT_EQ(items().at(0).account, "com.corvantis.passwordpsk");
    EXPECT_EQ(Keychain::secretStringForVPNID("com.corvantis.password"), "shared");
    EXPECT_TRUE(Keychain::secretForVPNID("com.corvantis.password"));
    EXPECT_FALSE(Keychain::passwordStringForVPNID("com.corvantis.password"));
}

TEST_P(KeychainTest, IdentifiersWithTheSameLastPathComponentShareTheirItems) {
    Keychain::setPassword("abc", "vpn/configurations/com.corvantis.password");
    EXPECT_EQ(Keychain::passwordStringForVPNID("com.corvantis.password"), "abc");
    EXPECT_EQ(Keychain::keyForVPNID("a/b/c/"), "c");
    EXPECT_FALSE(Keychain::keyForVPNID(""));
    EXPECT_FALSE(Keychain::keyForVPNID("has a blank"));
    EXPECT_FALSE(Keychain::setPassword("abc", ""));
}

TEST_P(KeychainTest, DestroyingRemovesPasswordSecretAndCertificate) {
    Keychain::destoryKeyForVPNID("com.corvantis.password");  // nothing there: no failure
    Keychain::setPassword("abc", "com.corvantis.password");
    Keychain::setSecret("def", "com.corvantis.password");
    KeychainWrapper::setString("ghi", "com.corvantis.passwordcert");
    KeychainWrapper::setString("other", "unrelated");
    Keychain::destoryKeyForVPNID("com.corvantis.password");
    const auto left = items();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].account, "unrelated");
}

TEST_P(KeychainTest, TheWrapperUsesItsServiceNameAndAccessGroup) {
    EXPECT_EQ(KeychainWrapper::serviceName(), "SwiftKeychainWrapper");
    KeychainWrapper::setServiceName("Other");
    KeychainWrapper::setAccessGroup("team.shared");
    EXPECT_TRUE(KeychainWrapper::setString("value", "key"));
    EXPECT_EQ(items().at(0).service, "Other");
    EXPECT_EQ(items().at(0).accessGroup, "team.shared");
    KeychainWrapper::setAccessGroup("");
    EXPECT_TRUE(KeychainWrapper::hasValueForKey("key"));  // a query without a group reaches every group
    KeychainWrapper::setServiceName("Third");
    EXPECT_FALSE(KeychainWrapper::hasValueForKey("key"));
}

TEST_P(KeychainTest, WithoutAServiceNameTheWrapperUsesTheBundleIdentifier) {
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(
        environment.folder / "Info.json", R"({"CFBundleIdentifier":"com.corvantis.Corvantis"})", 0600));
    platform::Services bundled;
    bundled.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(environment.folder.path());
    bundled.keychainOverride = keychain;
    platform::ScopedServices scope(bundled);
    EXPECT_TRUE(KeychainWrapper::setString("value", "key"));
    EXPECT_EQ(items().at(0).service, "com.corvantis.Corvantis");
}

TEST_P(KeychainTest, RemovingAMissingKeyIsFalse) {
    EXPECT_FALSE(KeychainWrapper::removeObjectForKey("missing"));
    KeychainWrapper::setString("v", "present");
    EXPECT_TRUE(KeychainWrapper::removeObjectForKey("present"));
}

TEST_P(KeychainTest, AnUpdateKeepsTheAccessibilityTheItemWasAddedWith) {
    platform::security::KeychainItem item;
    item.service = KeychainWrapper::serviceName();
    item.account = "key";
    item.generic = "key";
    item.accessible = "always";
    item.valueData = "old";
    ASSERT_EQ(keychain->add(item), platform::security::errSecSuccess);
    EXPECT_TRUE(KeychainWrapper::setData("new", "key"));
    const auto stored = items();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].valueData, "new");
    EXPECT_EQ(stored[0].accessible, "always");
}

TEST_P(KeychainTest, TextAndObjectValuesReadBackOnlyAsWhatTheyAre) {
    KeychainWrapper::setData(std::string("\xff\xfe", 2), "binary");
    EXPECT_TRUE(KeychainWrapper::dataForKey("binary"));
    EXPECT_FALSE(KeychainWrapper::stringForKey("binary"));
    EXPECT_FALSE(KeychainWrapper::objectForKey("binary"));
    EXPECT_FALSE(KeychainWrapper::setString(std::string("\xff", 1), "invalid"));

    const nlohmann::json settings{{"port", 443}, {"servers", {"a", "b"}}};
    EXPECT_TRUE(KeychainWrapper::setObject(settings, "object"));
    EXPECT_EQ(KeychainWrapper::objectForKey("object"), settings);
    EXPECT_FALSE(KeychainWrapper::objectForKey("missing"));
}

}  // namespace
