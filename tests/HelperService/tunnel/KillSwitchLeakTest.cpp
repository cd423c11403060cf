// The kill switch against leaks, for real: the helper runs openvpn in the testbed's client
// namespace, engages the kill switch and releases it, the guard runs as its unit runs it with the
// real nft, and every packet the client sends over its physical link is counted by nft in the
// server namespace, which stands for the LAN and the internet. Probes of every kind (TCP, UDP,
// ICMP, DNS to a resolver without a host route; IPv4 and IPv6) must cross without the guard and
// once it is released, and never while it is engaged: with the tunnel up, with the tunnel gone,
// and with a default route and a host route that another program put in.

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/LinkLeakProbe.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testbed::HelperDaemon;
using corvantis::testbed::OpenVpnTestbed;
using corvantis::testing::LinkLeakProbe;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

constexpr const char* serverNamespace = "corvantis-vpn-server";
constexpr const char* clientNamespace = "corvantis-vpn-client";
constexpr const char* gateway = "198.51.100.1";
constexpr const char* nft = "/usr/sbin/nft";
// The name server the kill switch keeps a host route to.
constexpr const char* listedNameServer = "192.0.2.53";

platform::foundation::FinishedProcess run(std::vector<std::string> arguments) {
    return corvantis::testing::runProgram({"/sbin/ip", std::move(arguments), {}});
}

std::string fileText(const std::filesystem::path& path) {
    auto content = FileSystem::readFile(path);
    return content ? content.value() : content.error().message;
}

class KillSwitchLeak : public ::testing::Test {
protected:
    void SetUp() override {
        if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "makes network namespaces: runs only through scripts/sandbox";
        if (auto reason = OpenVpnTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        if (::access(nft, X_OK) != 0) GTEST_SKIP() << "nft is not installed (scripts/setup installs it)";
        auto made = OpenVpnTestbed::up(folder.path());
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        // The physical link carries IPv6 too, with a default route of its own.
        for (const auto& command : std::vector<std::vector<std::string>>{
                 {"-n", serverNamespace, "addr", "add", "2001:db8:64::1/64", "dev", "corv-srv", "nodad"},
                 {"-n", clientNamespace, "addr", "add", "2001:db8:64::2/64", "dev", "corv-cli", "nodad"},
                 {"-n", clientNamespace, "-6", "route", "add", "default", "via", "2001:db8:64::1"}}) {
            ASSERT_EQ(run(command).exit.exitStatus, 0) << command[3] << " " << command[4];
        }
        std::string problem;
        ASSERT_TRUE(probe.install(problem)) << problem;

        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "", 0600));
        ASSERT_TRUE(FileSystem::writeFileAtomically(
            folder / "systemctl", "#!/bin/sh\necho \"$@\" >> " + (folder / "systemctl-calls").string() + "\n", 0755));
        auto options = HelperDaemon::privateFilesIn(folder.path());
        options.insert(options.end(),
                       {"--config", (folder / "helper.conf").string(), "--bundle-resources", testbed->bundle().string(),
                        "--openvpn", "/usr/sbin/openvpn", "--systemctl", (folder / "systemctl").string(), "--guard-preferences",
                        keyFile.string(), "--guard-script", (folder / "guard" / "corvantis_guard.sh").string()});
        helper =
            std::make_unique<HelperDaemon>(corvantis::testing::helperProgram(), socket, options, testbed->inClientNamespace());
    }

    void TearDown() override {
        stopGuard();
        tunnel.reset();
        helper.reset();
        testbed.reset();
    }

    std::string call(const std::string& line) {
        return corvantis::testing::firstText(corvantis::testing::callUntilDone(socket, HelperCall::runCommand(line, true)));
    }

    // The guard as its unit runs it, in the client namespace.
    void startGuard() {
        const auto program = corvantis::testing::helperProgram();
        const auto resolver = folder / "resolv.conf";
        const auto endpoints = folder / "guard" / "endpoints";
        guard = ::fork();
        if (guard == 0) {
            ::execl("/sbin/ip", "ip", "netns", "exec", clientNamespace, program.c_str(), "--guard", keyFile.c_str(),
                    "--endpoints", endpoints.c_str(), "--nft", nft, "--resolv-conf", resolver.c_str(), nullptr);
            ::_exit(127);
        }
    }

    void stopGuard() {
        if (guard <= 0) return;
        ::kill(guard, SIGTERM);
        ::waitpid(guard, nullptr, 0);
        guard = -1;
    }

    std::string guardTable() const {
        return run({"netns", "exec", clientNamespace, nft, "list", "table", "inet", "corvantis_guard"}).standardOutput;
    }

    // Waits (bounded) until the guard's table holds `text`.
    bool guardTableHas(const std::string& text) const {
        return corvantis::testing::eventually([&] { return guardTable().find(text) != std::string::npos; });
    }

    std::string clientRoutes() const {
        return run({"-n", clientNamespace, "route", "show"}).standardOutput +
               run({"-n", clientNamespace, "-6", "route", "show"}).standardOutput;
    }

    TemporaryFolder folder;
    std::filesystem::path socket = folder / "helper.sock";
    std::filesystem::path keyFile = folder / "guard" / "gateway.conf";
    std::unique_ptr<OpenVpnTestbed> testbed;
    std::unique_ptr<HelperDaemon> helper;
    std::unique_ptr<corvantis::testing::ReplyStream> tunnel;
    pid_t guard = -1;
    // The tunnel's packets and those to the listed name server are expected on the link.
    LinkLeakProbe probe{serverNamespace,
                        "corv-srv",
                        clientNamespace,
                        {{"tunnel", std::string("ip daddr ") + gateway + " udp dport 1194"},
                         {"listed", std::string("ip daddr ") + listedNameServer}}};
};

TEST_F(KillSwitchLeak, NothingLeavesOutsideTheTunnelFromEngagingUntilRelease) {
    using Counts = LinkLeakProbe::Counts;
    std::map<std::string, Counts> steps;
    const auto probeFor = [&](std::chrono::milliseconds duration, bool untilEveryKind = false) {
        // One query to the listed name server each round.
        return probe.probeFor(duration, untilEveryKind ? &LinkLeakProbe::everyKindSeen : std::function<bool(const Counts&)>(),
                              [] {
                                  run({"netns", "exec", clientNamespace, "/bin/bash", "-c",
                                       std::string("printf x > /dev/udp/") + listedNameServer + "/53 2>/dev/null || true"});
                              });
    };
    const auto leaks = &LinkLeakProbe::leaks;
    const auto everyKindSeen = &LinkLeakProbe::everyKindSeen;
    const auto describe = &LinkLeakProbe::describe;
    const auto report = [&] { std::cout << LinkLeakProbe::table({steps.begin(), steps.end()}); };

    // No guard: every kind of probe is seen, so the counting works.
    steps["1 no guard"] = probeFor(std::chrono::seconds(10), true);
    EXPECT_TRUE(everyKindSeen(steps["1 no guard"])) << describe(steps["1 no guard"]);

    // The tunnel up, the name server's host route through the gateway, the kill switch engaged.
    tunnel = std::make_unique<corvantis::testing::ReplyStream>(
        socket, HelperCall::runOpenVPN((testbed->bundle() / "openvpn").string(), testbed->profile().string(),
                                       testbed->options().user, testbed->options().password, testbed->bundle().string(), true));
    const auto connected = tunnel->next();
    ASSERT_TRUE(connected) << testbed->serverLog();
    const auto first = corvantis::helper::HelperWireCodec::decodeTextArrayReply(*connected);
    ASSERT_TRUE(first && first.value() && !first.value()->empty() && first.value()->front() == "connected")
        << connected->dump() << testbed->serverLog();
    call(std::string("route -n add -net ") + listedNameServer + " " + gateway);
    call(std::string("route -n add -net ") + gateway + " " + gateway);
    const auto resources = testbed->bundle().string();
    call(std::string("defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway ") + gateway + " && cp \"" +
         resources + "/com.corvantis.CorvantisGuard.plist\" /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist && cp \"" +
         resources +
         "/corvantis_guard.sh\" /Library/LaunchDaemons/corvantis_guard.sh && launchctl load -w "
         "/Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist ; route -n delete default " +
         gateway);
    ASSERT_EQ(fileText(keyFile), std::string("gateway=") + gateway + "\nengaged=1\n");
    startGuard();
    ASSERT_TRUE(guardTableHas("policy drop;")) << guardTable();
    // While the tunnel is up its own name server answers, through it.
    ASSERT_TRUE(guardTableHas(std::string("ip daddr ") + OpenVpnTestbed::tunnelNameServer + " meta l4proto")) << guardTable();
    steps["2 engaged, tunnel up"] = probeFor(std::chrono::seconds(3));
    EXPECT_EQ(leaks(steps["2 engaged, tunnel up"]), 0) << describe(steps["2 engaged, tunnel up"]) << "\n" << clientRoutes();
    EXPECT_GT(steps["2 engaged, tunnel up"]["tunnel"], 0);
    EXPECT_EQ(steps["2 engaged, tunnel up"]["listed"], 0) << "DNS left the tunnel";

    // The server dies; the client's openvpn gives up meanwhile and takes the tunnel away.
    testbed->killServer();
    steps["3 tunnel gone"] = probeFor(std::chrono::seconds(11));
    EXPECT_EQ(leaks(steps["3 tunnel gone"]), 0) << describe(steps["3 tunnel gone"]) << "\n" << clientRoutes();

    // Another program puts a default route back and routes the probes' host through the gateway:
    // the guard still holds.
    ASSERT_EQ(run({"-n", clientNamespace, "route", "replace", "default", "via", gateway}).exit.exitStatus, 0);
    ASSERT_EQ(run({"-n", clientNamespace, "route", "add", "192.0.2.77/32", "via", gateway}).exit.exitStatus, 0);
    steps["4 foreign default route"] = probeFor(std::chrono::seconds(3));
    EXPECT_EQ(leaks(steps["4 foreign default route"]), 0) << describe(steps["4 foreign default route"]) << "\n" << clientRoutes();
    EXPECT_TRUE(guardTableHas("policy drop;")) << guardTable();

    // The helper puts the default route back and restarts the guard, which then opens.
    call(std::string("route -n add default ") + gateway);
    EXPECT_EQ(fileText(keyFile), std::string("gateway=") + gateway + "\nengaged=0\n");
    EXPECT_NE(fileText(folder / "systemctl-calls").find("restart com.corvantis.CorvantisGuard.service"), std::string::npos);
    stopGuard();
    startGuard();
    ASSERT_TRUE(guardTableHas("policy accept;")) << guardTable();
    steps["5 released"] = probeFor(std::chrono::seconds(10), true);
    EXPECT_TRUE(everyKindSeen(steps["5 released"])) << describe(steps["5 released"]) << "\n" << clientRoutes();

    report();
}

}  // namespace
