#include "HelperService/CorvantisHelper/GuardRules.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using corvantis::helper::GuardState;
using corvantis::helper::Ipv4Address;
using platform::network::RoutingSnapshot;
namespace GuardRules = corvantis::helper::GuardRules;

namespace {

Ipv4Address address(const char* text) {
    return *Ipv4Address::parse(text);
}

std::uint32_t hostOrder(const char* text) {
    in_addr parsed{};
    ::inet_pton(AF_INET, text, &parsed);
    return ntohl(parsed.s_addr);
}

TEST(GuardRules, EnforcingDropsAllButTunnelsTheListedHostsDhcpAndNeighbourDiscovery) {
    const auto text = GuardRules::text({true, {address("203.0.113.7"), address("9.9.9.9")}});
    EXPECT_EQ(text,
              "add table inet corvantis_guard\n"
              "delete table inet corvantis_guard\n"
              "table inet corvantis_guard {\n"
              "  chain output {\n"
              "    type filter hook output priority 0; policy drop;\n"
              "    oifname \"lo\" accept\n"
              "    oifname \"tun*\" accept\n"
              "    ct state established,related accept\n"
              "    ip daddr { 203.0.113.7, 9.9.9.9 } accept\n"
              "    udp sport 68 udp dport 67 accept\n"
              "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n"
              "  }\n"
              "  chain forward {\n"
              "    type filter hook forward priority 0; policy drop;\n"
              "    oifname \"lo\" accept\n"
              "    oifname \"tun*\" accept\n"
              "    ct state established,related accept\n"
              "    ip daddr { 203.0.113.7, 9.9.9.9 } accept\n"
              "    udp sport 68 udp dport 67 accept\n"
              "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n"
              "  }\n"
              "}\n");
    // No listed host: no empty set, which nft would refuse.
    EXPECT_EQ(GuardRules::text({true, {}}).find("ip daddr"), std::string::npos);
    const auto open = GuardRules::text({false, {address("203.0.113.7")}});
    EXPECT_NE(open.find("policy accept;\n  }\n"), std::string::npos);
    EXPECT_EQ(open.find("accept\n    "), std::string::npos);
}

TEST(GuardRules, OnlyHostRoutesThroughTheGatewayAreAllowed) {
    const RoutingSnapshot routes({{1, "eth0", 0}, {2, "tun0", 0}}, {},
                                 {{hostOrder("203.0.113.7"), 32, hostOrder("192.168.1.1"), 1, 0},
                                  {hostOrder("9.9.9.9"), 32, hostOrder("192.168.1.1"), 1, 0},
                                  {hostOrder("9.9.9.9"), 32, hostOrder("192.168.1.1"), 1, 100},
                                  {hostOrder("8.8.8.8"), 32, hostOrder("10.8.0.1"), 2, 0},
                                  {hostOrder("198.51.100.0"), 24, hostOrder("192.168.1.1"), 1, 0},
                                  {hostOrder("1.1.1.1"), 32, std::nullopt, 1, 0}});
    EXPECT_EQ(GuardRules::hostRoutesVia(routes, address("192.168.1.1")),
              (std::vector<Ipv4Address>{address("203.0.113.7"), address("9.9.9.9")}));
}

TEST(GuardRules, TheKeyFileNeedsAGatewayAndIsEngagedOnlyWhenItSaysSo) {
    const auto engaged = GuardRules::readKeyFile("gateway=192.168.1.1\nengaged=1\n");
    ASSERT_TRUE(engaged);
    EXPECT_EQ(engaged->gateway, address("192.168.1.1"));
    EXPECT_TRUE(engaged->engaged);
    EXPECT_EQ(GuardRules::keyFileText(*engaged), "gateway=192.168.1.1\nengaged=1\n");
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1\n")->engaged);
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1\nengaged=yes\n")->engaged);
    EXPECT_FALSE(GuardRules::readKeyFile("engaged=1\n"));
    EXPECT_FALSE(GuardRules::readKeyFile("gateway=192.168.1.1; nft flush ruleset\nengaged=1\n"));
}

}  // namespace
