// Runs the real helper inside scripts/sandbox and checks the effect on the namespace's own route
// table against what the real "ip" shows and says there. Outside the sandbox every test skips.

#include "platform/foundation/FileSystem.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testbed::HelperDaemon;
using corvantis::testbed::inSandbox;
using corvantis::testing::helperProgram;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

platform::foundation::FinishedProcess runTool(const std::string& program, std::vector<std::string> arguments) {
    return corvantis::testing::runProgram({program, std::move(arguments), {}});
}

std::string routes() {
    return runTool("/sbin/ip", {"-4", "route", "show"}).standardOutput;
}

class SandboxRoutes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!inSandbox()) GTEST_SKIP() << "changes routes: runs only through scripts/sandbox";
        // A network 192.0.2.0/24 on a veth pair, with its default route via 192.0.2.1.
        for (const auto& command :
             std::vector<std::vector<std::string>>{{"link", "add", "corv1", "type", "veth", "peer", "name", "corv2"},
                                                   {"addr", "add", "192.0.2.10/24", "dev", "corv1"},
                                                   {"link", "set", "corv1", "up"},
                                                   {"link", "set", "corv2", "up"},
                                                   {"route", "add", "default", "via", "192.0.2.1"}}) {
            ASSERT_EQ(runTool("/sbin/ip", command).exit.exitStatus, 0) << command[0] << " " << command[1];
        }
        ASSERT_TRUE(FileSystem::createDirectories(bundle));
        ASSERT_TRUE(FileSystem::writeFileAtomically(bundle / "down.sh",
                                                    "echo down\ntouch " + (folder / "down-ran").string() + "\n", 0755));
        ASSERT_TRUE(FileSystem::writeFileAtomically(bundle / "com.corvantis.CorvantisGuard.service", "[Service]\n", 0644));
        ASSERT_TRUE(FileSystem::writeFileAtomically(bundle / "corvantis_guard.sh", "#!/bin/sh\n", 0755));
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "", 0644));
        ASSERT_TRUE(FileSystem::writeFileAtomically(
            folder / "systemctl", "#!/bin/sh\necho \"$@\" >> " + (folder / "systemctl-calls").string() + "\n", 0755));
        auto options = HelperDaemon::privateFilesIn(folder.path());
        options.insert(options.end(),
                       {"--config", (folder / "helper.conf").string(), "--bundle-resources", bundle.string(), "--systemctl",
                        (folder / "systemctl").string(), "--guard-script", (folder / "guard" / "corvantis_guard.sh").string()});
        daemon = std::make_unique<HelperDaemon>(helperProgram(), socket, options);
    }

    void TearDown() override {
        daemon.reset();
        if (inSandbox()) runTool("/sbin/ip", {"link", "del", "corv1"});
    }

    // The first reply, once the helper has finished the command.
    std::string call(const std::string& line) {
        return corvantis::testing::firstText(corvantis::testing::callUntilDone(socket, HelperCall::runCommand(line, true)));
    }

    TemporaryFolder folder;
    std::filesystem::path bundle = folder / "bundle" / "Resources";
    std::filesystem::path socket = folder / "helper.sock";
    std::unique_ptr<HelperDaemon> daemon;
};

TEST_F(SandboxRoutes, HostRoutesAreAddedAndDeletedThroughTheGateway) {
    call("route -n add -net 198.51.100.7 192.0.2.1");
    EXPECT_NE(routes().find("198.51.100.7 via 192.0.2.1 dev corv1"), std::string::npos) << routes();
    call("route -n delete 198.51.100.7 192.0.2.1");
    EXPECT_EQ(routes().find("198.51.100.7"), std::string::npos) << routes();
}

// The helper's routes are the very routes `ip route add` makes, and a refused change answers what
// `ip` prints for it.
TEST_F(SandboxRoutes, RoutesAndRefusalsAgreeWithIp) {
    const auto shown = [](const std::string& destination) {
        return runTool("/sbin/ip", {"-4", "route", "show", "exact", destination}).standardOutput;
    };
    const std::tuple<std::string, std::string, std::string> changes[] = {
        {"route -n add -net 198.51.100.7 192.0.2.1", "198.51.100.7/32", "route -n delete 198.51.100.7 192.0.2.1"},
        {"route -n add -net 0/1 192.0.2.1", "0.0.0.0/1", "route -n delete 0/1 192.0.2.1"},
    };
    for (const auto& [add, destination, remove] : changes) {
        EXPECT_EQ(call(add), "") << add;
        const auto ours = shown(destination);
        EXPECT_NE(ours, "") << add;
        EXPECT_EQ(call(remove), "") << remove;
        EXPECT_EQ(shown(destination), "") << remove;
        ASSERT_EQ(runTool("/sbin/ip", {"-4", "route", "add", destination, "via", "192.0.2.1"}).exit.exitStatus, 0);
        EXPECT_EQ(shown(destination), ours) << add;
        runTool("/sbin/ip", {"-4", "route", "del", destination, "via", "192.0.2.1"});
    }
    ASSERT_EQ(call("route -n add -net 198.51.100.7 192.0.2.1"), "");
    const std::pair<std::string, std::vector<std::string>> refusals[] = {
        // Present already, a gateway off every link, absent, and present through another gateway.
        {"route -n add -net 198.51.100.7 192.0.2.1", {"add", "198.51.100.7/32", "via", "192.0.2.1"}},
        {"route -n add -net 198.51.100.8 10.9.9.9", {"add", "198.51.100.8/32", "via", "10.9.9.9"}},
        {"route -n delete 198.51.100.9 192.0.2.1", {"del", "198.51.100.9/32", "via", "192.0.2.1"}},
        {"route -n delete 198.51.100.7 192.0.2.2", {"del", "198.51.100.7/32", "via", "192.0.2.2"}},
    };
    for (const auto& [line, arguments] : refusals) {
        std::vector<std::string> ip{"-4", "route"};
        ip.insert(ip.end(), arguments.begin(), arguments.end());
        const auto expected = runTool("/sbin/ip", ip);
        EXPECT_NE(expected.exit.exitStatus, 0) << line;
        EXPECT_EQ(call(line), expected.standardError) << line;
    }
}

TEST_F(SandboxRoutes, TheGatewayQueryAgreesWithIpOnTheDefaultRouteWithTheLowestMetric) {
    const std::string query = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";
    ASSERT_EQ(runTool("/sbin/ip", {"route", "del", "default", "via", "192.0.2.1"}).exit.exitStatus, 0);
    ASSERT_EQ(runTool("/sbin/ip", {"addr", "add", "203.0.113.10/24", "dev", "corv2"}).exit.exitStatus, 0);
    for (const auto& [gateway, metric] : {std::pair{"203.0.113.1", "50"}, std::pair{"192.0.2.254", "10"}}) {
        ASSERT_EQ(runTool("/sbin/ip", {"route", "add", "default", "via", gateway, "metric", metric}).exit.exitStatus, 0);
        // The first default route `ip` lists is the kernel's choice.
        const auto first = runTool("/sbin/ip", {"-4", "route", "show", "default"}).standardOutput;
        const auto via = first.find("via ") + 4;
        EXPECT_EQ(call(query), first.substr(via, first.find(' ', via) - via) + "\n") << first;
    }
    EXPECT_EQ(call(query), "192.0.2.254\n");
    // Replaced by an on-link route without a gateway: nothing usable.
    ASSERT_EQ(runTool("/sbin/ip", {"route", "replace", "default", "dev", "corv1", "metric", "10"}).exit.exitStatus, 0);
    EXPECT_EQ(call(query), "");
}

TEST_F(SandboxRoutes, TheTunnelHalfRouteComesAndGoes) {
    call("route -n add -net 0/1 192.0.2.1");
    EXPECT_NE(routes().find("0.0.0.0/1 via 192.0.2.1 dev corv1"), std::string::npos) << routes();
    call("route -n delete 0/1 192.0.2.1");
    EXPECT_EQ(routes().find("0.0.0.0/1"), std::string::npos) << routes();
}

TEST_F(SandboxRoutes, TheKillSwitchTakesTheDefaultRouteAwayAndTheReleasePutsItBack) {
    const std::string resources = bundle.string();
    call("defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway 192.0.2.1 && cp \"" + resources +
         "/com.corvantis.CorvantisGuard.plist\" /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist && cp \"" + resources +
         "/corvantis_guard.sh\" /Library/LaunchDaemons/corvantis_guard.sh && launchctl load -w "
         "/Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist ; route -n delete default 192.0.2.1");
    EXPECT_EQ(routes().find("default"), std::string::npos) << routes();
    EXPECT_EQ(FileSystem::readFile(folder / "guard" / "gateway.conf").value(), "gateway=192.0.2.1\nengaged=1\n");
    const std::string installed =
        "daemon-reload\nenable com.corvantis.CorvantisGuard.service\nrestart com.corvantis.CorvantisGuard.service\n";
    EXPECT_EQ(FileSystem::readFile(folder / "systemctl-calls").value(), installed);

    call("route -n add default 192.0.2.1");
    EXPECT_NE(routes().find("default via 192.0.2.1 dev corv1"), std::string::npos) << routes();
    // Released: the guard stays installed and is restarted to let traffic through.
    EXPECT_EQ(FileSystem::readFile(folder / "guard" / "gateway.conf").value(), "gateway=192.0.2.1\nengaged=0\n");
    EXPECT_EQ(FileSystem::readFile(folder / "systemctl-calls").value(),
              installed + "restart com.corvantis.CorvantisGuard.service\n");
}

// The guard as its unit runs it, with the real nft, in this namespace: it holds traffic while
// engaged, lets out only the server endpoint the helper hands it (a host route, the helper's or
// another program's, opens nothing), puts its table back when a firewall reload flushes the
// ruleset, drops the server the application leaves, and lets everything through once released.
TEST_F(SandboxRoutes, TheGuardLetsOutOnlyTheServersEndpointAndPutsItsTableBackAfterAFlush) {
    if (::access("/usr/sbin/nft", X_OK) != 0) GTEST_SKIP() << "nft is not installed";
    const auto keyFile = folder / "guard" / "gateway.conf";
    const auto endpoints = folder / "guard" / "endpoints";
    const auto table = [] { return runTool("/usr/sbin/nft", {"list", "table", "inet", "corvantis_guard"}).standardOutput; };
    // Waits (bounded) for the guard to have put the table in the state asked for.
    const auto tableHas = [&](const std::string& text) {
        return corvantis::testing::eventually([&] { return table().find(text) != std::string::npos; });
    };
    const auto runGuard = [&] {
        const pid_t guard = ::fork();
        if (guard == 0) {
            ::execl(helperProgram().c_str(), helperProgram().c_str(), "--guard", keyFile.c_str(), "--endpoints",
                    endpoints.c_str(), "--nft", "/usr/sbin/nft", "--resolv-conf", (folder / "resolv.conf").c_str(), nullptr);
            ::_exit(127);
        }
        return guard;
    };
    const auto stop = [](pid_t guard) {
        ::kill(guard, SIGTERM);
        ::waitpid(guard, nullptr, 0);
    };
    const std::string serverRule = "ip daddr 198.51.100.7 udp dport 1194 accept";

    ASSERT_TRUE(FileSystem::createDirectories(keyFile.parent_path()));
    ASSERT_TRUE(FileSystem::writeFileAtomically(keyFile, "gateway=192.0.2.1\nengaged=1\n", 0600));
    call("route -n add -net 198.51.100.7 192.0.2.1");
    ASSERT_EQ(runTool("/sbin/ip", {"route", "add", "198.51.100.9/32", "via", "192.0.2.1"}).exit.exitStatus, 0);
    pid_t guard = runGuard();
    EXPECT_TRUE(tableHas("policy drop;")) << table();
    EXPECT_EQ(table().find("198.51.100."), std::string::npos) << table();
    // The server of the tunnel being started, as the helper hands it over.
    ASSERT_TRUE(FileSystem::replaceFile(endpoints, "endpoint=198.51.100.7 udp 1194\n", 0644));
    EXPECT_TRUE(tableHas(serverRule)) << table();
    EXPECT_EQ(table().find("198.51.100.9"), std::string::npos) << table();

    // A firewall reload: the table is back, the same.
    const auto before = table();
    const auto flushed = std::chrono::steady_clock::now();
    ASSERT_EQ(runTool("/usr/sbin/nft", {"flush", "ruleset"}).exit.exitStatus, 0);
    EXPECT_TRUE(tableHas(serverRule)) << table();
    std::printf("the guard's table was back %.0f ms after the flush\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - flushed).count());
    EXPECT_EQ(table(), before);
    runTool("/usr/sbin/nft", {"delete", "table", "inet", "corvantis_guard"});
    EXPECT_TRUE(tableHas(serverRule)) << table();

    // The application leaves the server: it drops out.
    call("route -n delete 198.51.100.7 192.0.2.1");
    const auto tableLacks = [&](const std::string& text) {
        return corvantis::testing::eventually([&] { return table().find(text) == std::string::npos; });
    };
    EXPECT_TRUE(tableLacks("198.51.100.7")) << table();
    stop(guard);
    EXPECT_TRUE(tableHas("policy drop;")) << "the rules stay when the guard stops";

    ASSERT_TRUE(FileSystem::writeFileAtomically(keyFile, "gateway=192.0.2.1\nengaged=0\n", 0600));
    guard = runGuard();
    EXPECT_TRUE(tableHas("policy accept;")) << table();
    stop(guard);
    runTool("/usr/sbin/nft", {"delete", "table", "inet", "corvantis_guard"});
}

// After a reboot the rules are gone until the guard runs again. Its unit orders it before the
// network (checked where the unit is written); here: while the key file says engaged, the guard
// tells systemd it is ready only once its table holds everything back, on a link that nothing has
// configured yet, so nothing ordered after it can send a packet first.
TEST_F(SandboxRoutes, AfterAWipeTheGuardIsReadyOnlyOnceItsTableHolds) {
    if (::access("/usr/sbin/nft", X_OK) != 0) GTEST_SKIP() << "nft is not installed";
    const auto keyFile = folder / "guard" / "gateway.conf";
    ASSERT_TRUE(FileSystem::createDirectories(keyFile.parent_path()));
    ASSERT_TRUE(FileSystem::writeFileAtomically(keyFile, "gateway=192.0.2.1\nengaged=1\n", 0600));
    runTool("/usr/sbin/nft", {"delete", "table", "inet", "corvantis_guard"});
    ASSERT_EQ(runTool("/sbin/ip", {"addr", "flush", "dev", "corv1"}).exit.exitStatus, 0);

    const auto notifyPath = folder / "notify";
    const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", notifyPath.c_str());
    ASSERT_EQ(::bind(notify, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string environment = "NOTIFY_SOCKET=" + notifyPath.string();
    const pid_t guard = ::fork();
    if (guard == 0) {
        char* const variables[] = {const_cast<char*>(environment.c_str()), nullptr};
        ::execle(helperProgram().c_str(), helperProgram().c_str(), "--guard", keyFile.c_str(), "--nft", "/usr/sbin/nft",
                 "--resolv-conf", (folder / "resolv.conf").c_str(), nullptr, variables);
        ::_exit(127);
    }
    pollfd ready{notify, POLLIN, 0};
    char message[64] = {};
    const bool notified = ::poll(&ready, 1, 20000) > 0 && ::recv(notify, message, sizeof message - 1, 0) > 0;
    const auto table = runTool("/usr/sbin/nft", {"list", "table", "inet", "corvantis_guard"}).standardOutput;
    ::kill(guard, SIGTERM);
    ::waitpid(guard, nullptr, 0);
    ::close(notify);
    runTool("/usr/sbin/nft", {"delete", "table", "inet", "corvantis_guard"});
    ASSERT_TRUE(notified) << "the guard never said it was ready";
    EXPECT_STREQ(message, "READY=1");
    EXPECT_NE(table.find("policy drop;"), std::string::npos) << table;
}

TEST_F(SandboxRoutes, TheGatewayQueryFindsTheRouterOrNamesTheTunnel) {
    EXPECT_EQ(call("netstat -nr | grep '^default' | awk 'NR==1{print $2}'"), "192.0.2.1\n");
    ASSERT_EQ(runTool("/sbin/ip", {"tuntap", "add", "tun7", "mode", "tun"}).exit.exitStatus, 0);
    ASSERT_EQ(runTool("/sbin/ip", {"link", "set", "tun7", "up"}).exit.exitStatus, 0);
    ASSERT_EQ(runTool("/sbin/ip", {"route", "replace", "default", "dev", "tun7"}).exit.exitStatus, 0);
    EXPECT_EQ(call("netstat -nr | grep '^default' | awk 'NR==1{print $2}'"), "tun7\n");
    runTool("/sbin/ip", {"link", "del", "tun7"});
}

TEST_F(SandboxRoutes, ShellMetacharactersNeverReachAShell) {
    EXPECT_EQ(call("route -n add -net 198.51.100.9 192.0.2.1; ip route del default"), "");
    EXPECT_EQ(call("route -n add -net 198.51.100.9 $(ip route del default)"), "");
    const auto table = routes();
    EXPECT_NE(table.find("default via 192.0.2.1"), std::string::npos) << table;
    EXPECT_EQ(table.find("198.51.100.9"), std::string::npos) << table;
}

TEST_F(SandboxRoutes, TheDownScriptRunsForReal) {
    EXPECT_EQ(call("sh \"" + bundle.string() + "/down.sh\""), "down\n");
    EXPECT_TRUE(FileSystem::fileExists(folder / "down-ran"));
}

}  // namespace
