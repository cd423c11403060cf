#include "platform/foundation/FileSystem.hpp"
#include "platform/network/NetworkConnection.hpp"
#include "platform/network/NetworkPreferences.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using corvantis::testing::TemporaryFolder;
using platform::network::NetworkConnection;
using platform::network::NetworkInterface;
using platform::network::NetworkPreferences;
namespace FileSystem = platform::foundation::FileSystem;
namespace network = platform::network;

namespace {

std::shared_ptr<NetworkPreferences> open(const std::filesystem::path& file) {
    auto preferences = NetworkPreferences::create("com.corvantis.Corvantis", file);
    EXPECT_TRUE(preferences) << preferences.error().message;
    return preferences.value();
}

TEST(NetworkPreferences, ChangesReachOtherSessionsWhenCommittedAndConnectionsWhenApplied) {
    TemporaryFolder folder;
    const auto file = folder / "preferences" / "preferences.json";
    auto session = open(file);
    const auto id = session->createService(NetworkInterface::createWithInterface(NetworkInterface::ipv4(), "L2TP"));
    EXPECT_TRUE(session->setServiceName(id, "Corvantis L2TP"));
    EXPECT_TRUE(open(file)->copyAllServices().value().empty());
    EXPECT_EQ(NetworkConnection(id, file).start({}, true).error().code, network::kSCStatusConnectionNoService);

    ASSERT_TRUE(session->commitChanges());
    EXPECT_EQ(open(file)->copyAllServices().value(), std::vector<std::string>{id});
    EXPECT_EQ(open(file)->serviceName(id), "Corvantis L2TP");
    EXPECT_FALSE(NetworkPreferences::appliedService(file, id));

    ASSERT_TRUE(session->applyChanges());
    EXPECT_EQ(NetworkPreferences::appliedService(file, id).value()["name"], "Corvantis L2TP");
    // Without an L2TP client on this machine the applied service still cannot start.
    const auto started = NetworkConnection(id, file).start({}, true);
    ASSERT_FALSE(started);
    EXPECT_NE(started.error().message.find("no L2TP/IPsec client"), std::string::npos);
}

TEST(NetworkPreferences, SetsProtocolsAndRemovalFollowTheServices) {
    TemporaryFolder folder;
    auto session = open(folder / "preferences.json");
    const auto id = session->createService(NetworkInterface::ipv4());
    EXPECT_EQ(session->copyProtocol(id, "IPv4").error().code, network::kSCStatusNoKey);
    ASSERT_TRUE(session->establishDefaultConfiguration(id));
    EXPECT_TRUE(session->copyProtocol(id, "IPv4"));
    const auto set = session->copyCurrentSet().value();
    EXPECT_TRUE(session->addServiceToSet(set, id));
    EXPECT_EQ(session->addServiceToSet(set, id).error().code, network::kSCStatusKeyExists);
    ASSERT_TRUE(session->removeService(id));
    EXPECT_EQ(session->removeService(id).error().code, network::kSCStatusNoKey);
    EXPECT_TRUE(session->addServiceToSet(set, session->createService(NetworkInterface::ipv4())));
}

TEST(NetworkPreferences, AStoreOthersCouldChangeOrThatIsDamagedIsRefusedAndKept) {
    TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, "{\"version\": 1}", 0600));
    EXPECT_FALSE(NetworkPreferences::create("x", file));
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, "not json", 0600));
    EXPECT_FALSE(NetworkPreferences::create("x", file));
    EXPECT_EQ(FileSystem::readFile(file).value(), "not json");
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, "{}", 0666));
    const auto refused = NetworkPreferences::create("x", file);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, network::kSCStatusNoPrefsSession);
}

}  // namespace
