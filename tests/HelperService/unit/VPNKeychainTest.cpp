#include "HelperService/CorvantisHelper/HelperPasswordItems.hpp"
#include "HelperService/CorvantisHelper/VPNKeychain.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/security/KeychainFile.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::helper::VPNKeychain;
using corvantis::testing::RecordingHelperLog;
using corvantis::testing::TemporaryFolder;
using platform::security::KeychainFaults;
using platform::security::KeychainStep;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

struct KeychainFixture {
    TemporaryFolder folder;
    std::filesystem::path file = folder / "keychains" / "System.keychain";
    std::filesystem::path root = folder / "root";
    std::shared_ptr<RecordingHelperLog> log = std::make_shared<RecordingHelperLog>();
    std::shared_ptr<KeychainFaults> faults = std::make_shared<KeychainFaults>();
    VPNKeychain keychain{file, log, faults, root};

    nlohmann::json items() const { return platform::security::KeychainFile(file).readItems().value(); }
};

TEST(VPNKeychain, ItemsCarryTheirAttributesAndTheTrustedProgramsThatExist) {
    KeychainFixture fixture;
    // Five of the six programs are installed.
    for (std::size_t index = 0; index + 1 < VPNKeychain::trustedAppPaths.size(); ++index) {
        const auto path = fixture.root / std::filesystem::path(VPNKeychain::trustedAppPaths[index]).relative_path();
        ASSERT_TRUE(FileSystem::createDirectories(path.parent_path()));
        ASSERT_TRUE(FileSystem::writeFileAtomically(path, "", 0755));
    }
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("Corvantis L2TP", "S", "U", "secret"), 0);
    EXPECT_EQ(fixture.keychain.createSharedSecretKeyChainItem("Corvantis L2TP", "S", "velmortan"), 0);
    EXPECT_EQ(fixture.keychain.createXAuthKeyChainItem("Corvantis L2TP", "S", "xauth"), 0);

    const auto items = fixture.items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2]["service"], "S.XAUTH");
    EXPECT_EQ(items[2]["account"], "");
    EXPECT_EQ(items[2]["description"], "IPSec XAuth Password");
    EXPECT_EQ(items[2]["data"], "xauth");
    EXPECT_EQ(items[0]["class"], "genp");
    EXPECT_EQ(items[0]["label"], "Corvantis L2TP");
    EXPECT_EQ(items[0]["service"], "S");
    EXPECT_EQ(items[0]["account"], "U");
    EXPECT_EQ(items[0]["description"], "PPP Password");
    EXPECT_EQ(items[1]["service"], "S.SS");
    EXPECT_EQ(items[1]["account"], "");
    EXPECT_EQ(items[1]["description"], "IPSec Shared Secret");
    const auto trusted = items[0]["access"]["trustedApplications"];
    ASSERT_EQ(trusted.size(), 5u);
    EXPECT_EQ(trusted[4], (fixture.root / "usr/sbin/racoon").string());
    int failed = 0;
    for (const auto& line : fixture.log->lines()) failed += line == "SecTrustedApplicationCreateFromPath failed";
    EXPECT_EQ(failed, 3);  // once for each item
    EXPECT_TRUE(fixture.log->mentions("Successfully created Keychain Item"));
}

TEST(VPNKeychain, EachFailingStepHasItsCodeAndNothingIsWritten) {
    const std::tuple<KeychainStep, int, const char*> cases[] = {
        {KeychainStep::copyDomainDefault, 60, "Could not obtain System Keychain"},
        {KeychainStep::unlock, 61, "Could not unlock System Keychain"},
        {KeychainStep::createAccess, 62, "Succeeded unlocking System Keychain"},
        {KeychainStep::createItem, 63, "Creating Keychain item failed"},
    };
    for (const auto& [step, code, logged] : cases) {
        KeychainFixture fixture;
        fixture.faults->fail(step);
        EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S", "U", "p"), code);
        EXPECT_TRUE(fixture.log->mentions(logged)) << code;
        EXPECT_FALSE(FileSystem::fileExists(fixture.file)) << code;
    }
}

TEST(VPNKeychain, ADuplicateADamagedFileAndAFileOthersMayReadAreRefused) {
    KeychainFixture fixture;
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S", "U", "p"), 0);
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S", "U", "again"), 63);
    EXPECT_EQ(fixture.items().size(), 1u);

    ASSERT_TRUE(FileSystem::writeFileAtomically(fixture.file, "{damaged", 0600));
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S2", "U", "p"), 61);
    EXPECT_EQ(FileSystem::readFile(fixture.file).value(), "{damaged");

    ASSERT_TRUE(FileSystem::writeFileAtomically(fixture.file, R"({"version": 1, "items": []})", 0640));
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S2", "U", "p"), 61);
    EXPECT_TRUE(fixture.log->mentions("is open to group or others"));

    std::filesystem::remove(fixture.file);
    std::filesystem::create_symlink(fixture.folder / "elsewhere", fixture.file);
    EXPECT_EQ(fixture.keychain.createPasswordKeyChainItem("L", "S2", "U", "p"), 61);
    EXPECT_FALSE(FileSystem::fileExists(fixture.folder / "elsewhere"));
}

TEST(HelperPasswordItems, AnItemPerIdentifierFoundAgainByItsReferenceAndReplacedWhole) {
    TemporaryFolder folder;
    corvantis::helper::HelperPasswordItems items(folder / "keychains" / "ikev2.keychain");
    EXPECT_FALSE(items.searchKeychainCopyMatching("alice"));
    ASSERT_TRUE(items.createKeychainValue("first", "alice"));
    ASSERT_TRUE(items.createKeychainValue("other", "bob"));
    const auto reference = items.searchKeychainCopyMatching("alice");
    ASSERT_TRUE(reference);
    ASSERT_TRUE(items.createKeychainValue("second", "alice"));
    const auto replaced = items.searchKeychainCopyMatching("alice");
    ASSERT_TRUE(replaced);
    EXPECT_NE(*replaced, *reference);  // a new item, not the old one changed

    auto store = platform::security::KeychainStore::open(folder / "keychains" / "ikev2.keychain");
    const auto query = corvantis::helper::HelperPasswordItems::newSearchDictionary("alice");
    EXPECT_EQ(query.service, "com.corvantis.CorvantisHelper.ikev2");
    EXPECT_EQ(query.generic, "alice");
    const auto found = store->copyMatching(query, platform::security::KeychainStore::MatchLimit::all);
    ASSERT_EQ(found.items.size(), 1u);
    EXPECT_EQ(found.items[0].valueData, "second");
}

}  // namespace
