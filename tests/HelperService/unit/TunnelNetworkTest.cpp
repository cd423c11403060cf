// What a tunnel changes in the system's network for its life, through the helper with a fake
// launcher whose openvpn the tests play: the pushed name servers, IPv6 kept in, and the server's
// endpoints for the kill-switch guard.

#include "HelperService/CorvantisHelper/TunnelResolver.hpp"
#include "support/HelperFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using corvantis::helper::TunnelResolver;
using corvantis::testing::HelperFixture;

namespace {

const std::string nameServerQuery = "scutil --dns | grep 'nameserver' | awk '{print $3}'";
const std::string original = "nameserver 192.168.1.1\nnameserver 8.8.8.8\n";

struct TunnelFixture : HelperFixture {
    TunnelFixture() { launcher->hold("openvpn"); }
    ~TunnelFixture() {
        for (const auto& process : launcher->held()) process->exit(0, SIGTERM);
    }

    // A run whose up script reported `report`, connected.
    std::shared_ptr<corvantis::testing::FakeProcessLauncher::HeldProcess> connect(const std::string& report) {
        helper->runOpenVPN("/usr/sbin/openvpn", profile.string(), "alice", "pw", bundle.string(), {});
        const auto process = launcher->held().back();
        process->say("add net 0.0.0.0: gateway 203.0.113.1\n" + report + "tunnel-report-end\n");
        process->say("2026-12-10 09:00:00 Initialization Sequence Completed\n");
        return process;
    }
    std::size_t launchesOf(const std::string& line) const {
        const auto all = launcher->launches();
        return static_cast<std::size_t>(std::count(all.begin(), all.end(), line));
    }
    std::string answer(const std::string& line) {
        const auto replies = run(line);
        return replies.empty() || !replies.front() ? std::string() : *replies.front();
    }
};

const std::string pushed =
    "tunnel-link tun0\npushed-option dhcp-option DNS 10.8.0.1\npushed-option dhcp-option DOMAIN Corvantis.test\n"
    "pushed-option dhcp-option DNS 10.8.0.2;reboot\npushed-option dhcp-option DOMAIN bad_name\n"
    "pushed-option dhcp-option DNS6 2001:db8::53\n";

TEST(TunnelNetwork, ThePushedNameServersAreTheResolverFileForTheRunAndThePreviousFileComesBack) {
    TunnelFixture fixture;
    const auto& resolver = fixture.configuration.resolver;
    fixture.write(resolver.etc, original);
    const auto process = fixture.connect(pushed);
    // Written from the records the helper parsed: what did not parse is not there.
    EXPECT_EQ(fixture.read(resolver.etc), std::string(TunnelResolver::marker) + "\nnameserver 10.8.0.1\nsearch corvantis.test\n");
    EXPECT_EQ(fixture.launchesOf("/usr/sbin/nft -f -"), 1u) << "IPv6 is held while the tunnel is up";
    // The machine's own resolvers are what the application routes through the gateway.
    EXPECT_EQ(fixture.answer(nameServerQuery), "192.168.1.1\n8.8.8.8\n");
    // The gateway discovery's backup does not take the tunnel's file for the machine's.
    fixture.helper->backupResolvConf();
    EXPECT_FALSE(std::filesystem::exists(resolver.backup));

    process->exit(0);
    EXPECT_EQ(fixture.read(resolver.etc), original);
    EXPECT_FALSE(std::filesystem::exists(resolver.beforeTunnel));
    EXPECT_EQ(fixture.launchesOf("/usr/sbin/nft list table inet corvantis_tunnel_ipv6"), 1u);
    EXPECT_EQ(fixture.launchesOf("/usr/sbin/nft -f -"), 2u) << "IPv6 flows again";

    // A killed helper left the tunnel's file: the next one puts the previous file back at start.
    fixture.write(resolver.beforeTunnel, original);
    fixture.write(resolver.etc, TunnelResolver::fileText({"tun0", {*corvantis::helper::Ipv4Address::parse("10.8.0.1")}, {}}));
    fixture.rebuild();
    fixture.helper->sweepTunnelLeftovers();
    EXPECT_EQ(fixture.read(resolver.etc), original);
    // A file another program wrote meanwhile stays.
    fixture.write(resolver.beforeTunnel, original);
    fixture.write(resolver.etc, "nameserver 192.168.7.1\n");
    fixture.helper->sweepTunnelLeftovers();
    EXPECT_EQ(fixture.read(resolver.etc), "nameserver 192.168.7.1\n");
    EXPECT_FALSE(std::filesystem::exists(resolver.beforeTunnel));

    // No resolver file before the tunnel: none after it.
    std::filesystem::remove(resolver.etc);
    const auto again = fixture.connect(pushed);
    EXPECT_TRUE(std::filesystem::exists(resolver.etc));
    again->exit(0);
    EXPECT_FALSE(std::filesystem::exists(resolver.etc));
}

TEST(TunnelNetwork, AServerThatPushesNoNameServerLeavesTheResolverAsItIs) {
    TunnelFixture fixture;
    fixture.write(fixture.configuration.resolver.etc, original);
    const auto process = fixture.connect("tunnel-link tun0\n");
    EXPECT_EQ(fixture.read(fixture.configuration.resolver.etc), original);
    EXPECT_TRUE(fixture.log->mentions("The VPN server pushed no name server: the resolver configuration stays as it is"));
    process->exit(0);
    EXPECT_EQ(fixture.read(fixture.configuration.resolver.etc), original);
}

TEST(TunnelNetwork, WhereSystemdResolvedRunsTheNameServersGoToTheTunnelsLinkForEveryName) {
    TunnelFixture fixture;
    fixture.write(fixture.configuration.resolver.resolvedSocket, "");
    fixture.configuration.tools.resolvectl = fixture.folder / "resolvectl";
    fixture.write(fixture.configuration.tools.resolvectl, "#!/bin/sh\n", 0755);
    fixture.rebuild();
    fixture.write(fixture.configuration.resolver.etc, "nameserver 127.0.0.53\n");
    const auto resolvectl = fixture.configuration.tools.resolvectl.string();
    const auto process = fixture.connect(pushed);
    EXPECT_EQ(fixture.launchesOf(resolvectl + " dns tun0 10.8.0.1"), 1u);
    EXPECT_EQ(fixture.launchesOf(resolvectl + " domain tun0 ~. corvantis.test"), 1u);
    EXPECT_EQ(fixture.launchesOf(resolvectl + " default-route tun0 yes"), 1u);
    EXPECT_EQ(fixture.read(fixture.configuration.resolver.etc), "nameserver 127.0.0.53\n");
    process->exit(0);
    EXPECT_EQ(fixture.launchesOf(resolvectl + " revert tun0"), 1u);
}

TEST(TunnelNetwork, TheGuardLetsOutTheRenderedServerUntilTheApplicationLeavesItAndRoutesOpenNothing) {
    TunnelFixture fixture;
    const auto endpoints = fixture.configuration.guard.endpoints;
    fixture.run("route -n add -net 192.0.2.77 192.168.1.1");
    EXPECT_FALSE(std::filesystem::exists(endpoints));
    fixture.connect("");
    EXPECT_EQ(fixture.read(endpoints), "endpoint=198.51.100.1 udp 1194\n");
    // Another server's route going leaves this one.
    fixture.run("route -n delete 192.0.2.77 192.168.1.1");
    EXPECT_EQ(fixture.read(endpoints), "endpoint=198.51.100.1 udp 1194\n");
    // The application leaves the server (a release of the kill switch, a server switch) and,
    // engaging again while connected to it, routes it once more.
    fixture.run("route -n delete 198.51.100.1 192.168.1.1");
    EXPECT_EQ(fixture.read(endpoints), "");
    fixture.run("route -n add -net 198.51.100.1 192.168.1.1");
    EXPECT_EQ(fixture.read(endpoints), "endpoint=198.51.100.1 udp 1194\n");
    // A helper started again knows the current server.
    fixture.rebuild();
    fixture.run("route -n delete 198.51.100.1 192.168.1.1");
    EXPECT_EQ(fixture.read(endpoints), "");
}

}  // namespace
