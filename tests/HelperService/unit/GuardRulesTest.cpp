#include "HelperService/CorvantisHelper/GuardInputs.hpp"
#include "HelperService/CorvantisHelper/GuardRules.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <net/if.h>

using corvantis::helper::GuardState;
using corvantis::helper::Ipv4Address;
using corvantis::helper::ServerEndpoint;
namespace ServerEndpoints = corvantis::helper::ServerEndpoints;
namespace GuardRules = corvantis::helper::GuardRules;
namespace GuardInputs = corvantis::helper::GuardInputs;

namespace {

Ipv4Address address(const char* text) {
    return *Ipv4Address::parse(text);
}

TEST(GuardRules, EnforcingLetsOutOnlyTunnelsTheServersEndpointsDnsToNameServersDhcpOnTheLinkAndNeighbourDiscovery) {
    const std::vector<ServerEndpoint> endpoints{{address("203.0.113.7"), "udp", 1194}, {address("203.0.113.8"), "tcp", 443}};
    const auto text = GuardRules::text({true, endpoints, {"192.168.1.1", "2001:db8::53"}, "eth0", address("192.168.1.2")});
    const std::string chain =
        "    oifname \"lo\" accept\n"
        "    oifname \"tun*\" accept\n"
        "    ip daddr 203.0.113.7 udp dport 1194 accept\n"
        "    ip daddr 203.0.113.8 tcp dport 443 accept\n"
        "    ip daddr { 192.168.1.1 } meta l4proto { tcp, udp } th dport 53 accept\n"
        "    ip6 daddr { 2001:db8::53 } meta l4proto { tcp, udp } th dport 53 accept\n"
        "    oifname \"eth0\" udp sport 68 udp dport 67 ip daddr { 255.255.255.255, 192.168.1.2 } accept\n"
        "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n"
        "  }\n";
    EXPECT_EQ(text,
              "add table inet corvantis_guard\n"
              "delete table inet corvantis_guard\n"
              "table inet corvantis_guard {\n"
              "  chain output {\n"
              "    type filter hook output priority 0; policy drop;\n" +
                  chain +
                  "  chain forward {\n"
                  "    type filter hook forward priority 0; policy drop;\n" +
                  chain + "}\n");
    // No flow gets through for being established alone.
    EXPECT_EQ(text.find("ct state"), std::string::npos);
    // Nothing listed: no empty set, which nft would refuse; no link known: DHCP's own exchange on any.
    const auto bare = GuardRules::text({true, {}, {}, "", std::nullopt});
    EXPECT_EQ(bare.find("daddr { }"), std::string::npos);
    EXPECT_EQ(bare.find("th dport 53"), std::string::npos);
    EXPECT_NE(bare.find("\n    udp sport 68 udp dport 67 ip daddr { 255.255.255.255 } accept\n"), std::string::npos);
    // A link name that nft would read as more than a name is not used.
    EXPECT_EQ(GuardRules::text({true, {}, {}, "eth0\" accept #", std::nullopt}).find("eth0"), std::string::npos);
    const auto open = GuardRules::text({false, endpoints, {"192.168.1.1"}, "eth0", std::nullopt});
    EXPECT_NE(open.find("policy accept;\n  }\n"), std::string::npos);
    EXPECT_EQ(open.find("accept\n    "), std::string::npos);
}

TEST(GuardRules, TheKeyFileHoldsTheGatewayAndTheEngagementOnly) {
    const auto engaged = GuardRules::readKeyFile("gateway=192.168.1.1\nengaged=1\n");
    ASSERT_TRUE(engaged);
    EXPECT_EQ(engaged->gateway, address("192.168.1.1"));
    EXPECT_TRUE(engaged->engaged);
    EXPECT_EQ(GuardRules::keyFileText(*engaged), "gateway=192.168.1.1\nengaged=1\n");
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1\n")->engaged);
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1\nengaged=yes\n")->engaged);
    EXPECT_FALSE(GuardRules::readKeyFile("engaged=1\n"));
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1; nft flush ruleset\nengaged=1\n"));
    // The host routes an earlier helper noted open nothing any more.
    EXPECT_EQ(GuardRules::readKeyFile("gateway=192.168.1.1\nengaged=1\nroute=203.0.113.7 via 192.168.1.1\n"), engaged);
}

TEST(ServerEndpoints, TheRenderedProfilesServersWithTheirTransportAndPortAndNothingElse) {
    const auto profile = corvantis::helper::OpenVpnProfileParser::parse(
        "client\nproto tcp\nremote 203.0.113.7 443\nremote 203.0.113.8 1195 udp\nremote 203.0.113.9\n"
        "remote vpn.example.com 443\nremote 203.0.113.7 443\n");
    ASSERT_TRUE(profile) << profile.error().message;
    const std::vector<ServerEndpoint> expected{
        {address("203.0.113.7"), "tcp", 443}, {address("203.0.113.8"), "udp", 1195}, {address("203.0.113.9"), "tcp", 1194}};
    EXPECT_EQ(ServerEndpoints::ofProfile(profile.value()), expected);
    const auto text = ServerEndpoints::fileText(expected);
    EXPECT_EQ(text, "endpoint=203.0.113.7 tcp 443\nendpoint=203.0.113.8 udp 1195\nendpoint=203.0.113.9 tcp 1194\n");
    EXPECT_EQ(ServerEndpoints::read(text), expected);
    // Lines that are not exactly an endpoint are no endpoint.
    EXPECT_TRUE(ServerEndpoints::read("endpoint=203.0.113.7 tcp 443 accept\nendpoint=203.0.113.7 icmp 1\n"
                                      "endpoint=203.0.113.7 udp 0\nendpoint=0/0 udp 53\nroute=203.0.113.7 via 192.168.1.1\n")
                    .empty());
}

TEST(GuardInputs, NameServersComeFromTheResolverAndFromBehindALocalStub) {
    EXPECT_EQ(GuardInputs::nameServersIn("# comment\nnameserver 192.168.1.1\nnameserver  2001:DB8:0::53\nsearch lan\n"
                                         "nameserver 192.168.1.1\nnameserver 1.2.3.4; nft flush ruleset\nnameserver 010.0.0.1\n"),
              (std::vector<std::string>{"192.168.1.1", "2001:db8::53"}));

    corvantis::testing::TemporaryFolder folder;
    const corvantis::helper::GuardInputPaths paths{.endpoints = folder / "endpoints",
                                                   .resolver = folder / "resolv.conf",
                                                   .resolvedUpstream = folder / "upstream.conf",
                                                   .networkdLeases = folder / "networkd",
                                                   .dhclientLeases = folder / "dhclient"};
    namespace FileSystem = platform::foundation::FileSystem;
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.resolver, "nameserver 127.0.0.53\noptions edns0\n", 0644));
    EXPECT_TRUE(GuardInputs::nameServers(paths).empty());  // no stub running: loopback needs no rule
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.resolvedUpstream, "nameserver 192.168.1.1\nnameserver 9.9.9.9\n", 0644));
    EXPECT_EQ(GuardInputs::nameServers(paths), (std::vector<std::string>{"192.168.1.1", "9.9.9.9"}));
    // Without a local stub its file says nothing about what the machine asks.
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.resolver, "nameserver 10.0.0.1\n", 0644));
    EXPECT_EQ(GuardInputs::nameServers(paths), std::vector<std::string>{"10.0.0.1"});
}

TEST(GuardInputs, TheDhcpServerIsTheOneTheLinksLeaseNames) {
    EXPECT_EQ(GuardInputs::serverOfNetworkdLease("# This is private data.\nADDRESS=192.168.1.50\nSERVER_ADDRESS=192.168.1.2\n"),
              address("192.168.1.2"));
    EXPECT_FALSE(GuardInputs::serverOfNetworkdLease("SERVER_ADDRESS=192.168.1.2 0.0.0.0/0\n"));
    const std::string leases =
        "lease {\n  interface \"eth0\";\n  fixed-address 192.168.1.50;\n  option dhcp-server-identifier 192.168.1.2;\n}\n"
        "lease {\n  interface \"wlan0\";\n  option dhcp-server-identifier 10.0.0.1;\n}\n"
        "lease {\n  interface \"eth0\";\n  option dhcp-server-identifier 192.168.1.3;\n}\n";
    EXPECT_EQ(GuardInputs::serverOfDhclientLeases(leases, "eth0"), address("192.168.1.3"));
    EXPECT_EQ(GuardInputs::serverOfDhclientLeases(leases, "wlan0"), address("10.0.0.1"));
    EXPECT_FALSE(GuardInputs::serverOfDhclientLeases(leases, "eth1"));

    corvantis::testing::TemporaryFolder folder;
    const corvantis::helper::GuardInputPaths paths{.endpoints = folder / "endpoints",
                                                   .resolver = folder / "resolv.conf",
                                                   .resolvedUpstream = folder / "upstream.conf",
                                                   .networkdLeases = folder / "networkd",
                                                   .dhclientLeases = folder / "dhclient"};
    namespace FileSystem = platform::foundation::FileSystem;
    ASSERT_TRUE(FileSystem::createDirectories(paths.dhclientLeases));
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.dhclientLeases / "dhclient.lo.leases",
                                                "lease {\n  interface \"lo\";\n  option dhcp-server-identifier 127.0.0.9;\n}\n",
                                                0644));
    EXPECT_EQ(GuardInputs::dhcpServer(paths, "lo"), address("127.0.0.9"));
    ASSERT_TRUE(FileSystem::createDirectories(paths.networkdLeases));
    ASSERT_TRUE(FileSystem::writeFileAtomically(paths.networkdLeases / std::to_string(::if_nametoindex("lo")),
                                                "SERVER_ADDRESS=127.0.0.8\n", 0644));
    EXPECT_EQ(GuardInputs::dhcpServer(paths, "lo"), address("127.0.0.8"));
    EXPECT_FALSE(GuardInputs::dhcpServer(paths, ""));
}

}  // namespace
