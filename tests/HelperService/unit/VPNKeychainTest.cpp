#include "HelperService/CorvantisHelper/VPNKeychain.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/security/KeychainFile.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

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

    const auto items = fixture.items();
    ASSERT_EQ(items.size(), 2u);
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
    EXPECT_EQ(failed, 2);  // once for each of the two items
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

}  // namespace
