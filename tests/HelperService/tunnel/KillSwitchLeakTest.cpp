// The kill switch against leaks, for real: the helper runs openvpn in the testbed's client
// namespace, engages the kill switch and releases it, the guard runs as its unit runs it with the
// real nft, and every packet the client sends over its physical link is counted by nft in the
// server namespace, which stands for the LAN and the internet. Probes of every kind (TCP, UDP,
// ICMP, DNS to a resolver without a host route; IPv4 and IPv6) must cross without the guard and
// once it is released, and never while it is engaged: with the tunnel up, with the tunnel gone,
// and with a default route that another program put back.

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <map>
#include <netinet/icmp6.h>
#include <netinet/ip_icmp.h>
#include <sched.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testbed::HelperDaemon;
using corvantis::testbed::OpenVpnTestbed;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

constexpr const char* serverNamespace = "corvantis-vpn-server";
constexpr const char* clientNamespace = "corvantis-vpn-client";
constexpr const char* gateway = "198.51.100.1";
constexpr const char* nft = "/usr/sbin/nft";
// The name server the kill switch keeps a host route to, and the probes' destinations, which
// have none.
constexpr const char* listedNameServer = "192.0.2.53";
constexpr const char* target4 = "192.0.2.77";
constexpr const char* resolver4 = "192.0.2.99";
constexpr const char* target6 = "2001:db8:77::77";
constexpr const char* resolver6 = "2001:db8:99::99";

const std::vector<std::string> probeKinds{"tcp4", "udp4", "icmp4", "dns4", "tcp6", "udp6", "icmp6", "dns6"};

platform::foundation::FinishedProcess run(std::vector<std::string> arguments) {
    return corvantis::testing::runProgram({"/sbin/ip", std::move(arguments), {}});
}

// What crosses the link, counted where it arrives: the tunnel's own packets, those to the listed
// name server, each kind of probe, and anything else ("other"). Neighbour discovery, which the
// guard lets through, is not counted.
std::string captureRules() {
    std::string rules = "table inet corvantis_capture {\n  counter tunnel {}\n  counter listed {}\n  counter other {}\n";
    for (const auto& kind : probeKinds) rules += "  counter " + kind + " {}\n";
    rules += std::string("  chain prerouting {\n    type filter hook prerouting priority -300; policy accept;\n") +
             "    iifname != \"corv-srv\" accept\n"
             "    ip daddr " +
             gateway +
             " udp dport 1194 counter name tunnel accept\n"
             "    ip daddr " +
             listedNameServer +
             " counter name listed accept\n"
             "    icmpv6 type { nd-neighbor-solicit, nd-neighbor-advert, nd-router-solicit } accept\n"
             "    ip daddr " +
             target4 +
             " tcp dport 80 counter name tcp4 accept\n"
             "    ip daddr " +
             target4 +
             " udp dport 9 counter name udp4 accept\n"
             "    ip daddr " +
             target4 +
             " icmp type echo-request counter name icmp4 accept\n"
             "    ip daddr " +
             resolver4 +
             " udp dport 53 counter name dns4 accept\n"
             "    ip6 daddr " +
             target6 +
             " tcp dport 80 counter name tcp6 accept\n"
             "    ip6 daddr " +
             target6 +
             " udp dport 9 counter name udp6 accept\n"
             "    ip6 daddr " +
             target6 +
             " icmpv6 type echo-request counter name icmp6 accept\n"
             "    ip6 daddr " +
             resolver6 +
             " udp dport 53 counter name dns6 accept\n"
             "    counter name other\n  }\n}\n";
    return rules;
}

using Counts = std::map<std::string, long>;

Counts readCounts() {
    const auto listed = run({"netns", "exec", serverNamespace, nft, "list", "counters", "table", "inet", "corvantis_capture"});
    Counts counts;
    std::istringstream lines(listed.standardOutput);
    std::string word, name;
    while (lines >> word) {
        if (word == "counter") lines >> name;
        if (word == "packets") lines >> counts[name];
    }
    return counts;
}

Counts difference(const Counts& after, const Counts& before) {
    Counts counts;
    for (const auto& [name, packets] : after) counts[name] = packets - (before.contains(name) ? before.at(name) : 0);
    return counts;
}

long leaks(const Counts& counts) {
    long total = counts.contains("other") ? counts.at("other") : 0;
    for (const auto& kind : probeKinds) total += counts.contains(kind) ? counts.at(kind) : 0;
    return total;
}

bool everyKindSeen(const Counts& counts) {
    return std::all_of(probeKinds.begin(), probeKinds.end(),
                       [&](const auto& kind) { return counts.contains(kind) && counts.at(kind) > 0; });
}

std::string describe(const Counts& counts) {
    std::string text;
    for (const auto& [name, packets] : counts) text += " " + name + "=" + std::to_string(packets);
    return text;
}

std::string fileText(const std::filesystem::path& path) {
    auto content = FileSystem::readFile(path);
    return content ? content.value() : content.error().message;
}

sockaddr_storage address(const char* text, std::uint16_t port) {
    sockaddr_storage storage{};
    if (std::string(text).find(':') != std::string::npos) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        ::inet_pton(AF_INET6, text, &v6->sin6_addr);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        ::inet_pton(AF_INET, text, &v4->sin_addr);
    }
    return storage;
}

socklen_t lengthOf(const sockaddr_storage& storage) {
    return storage.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// Sends one datagram (or starts one connection) and forgets it: a refusal by the guard (EPERM)
// or a missing route is what the probes are here to meet.
void send(int family, int type, int protocol, const char* to, std::uint16_t port, const std::string& payload) {
    const int socket = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (socket < 0) return;
    const auto destination = address(to, port);
    if (type == SOCK_STREAM) {
        ::connect(socket, reinterpret_cast<const sockaddr*>(&destination), lengthOf(destination));
    } else {
        ::sendto(socket, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                 lengthOf(destination));
    }
    ::close(socket);
}

std::string echoRequest4(std::uint16_t sequence) {
    icmphdr header{};
    header.type = ICMP_ECHO;
    header.un.echo.id = htons(0xc0de);
    header.un.echo.sequence = htons(sequence);
    std::uint32_t sum = 0;
    const auto* words = reinterpret_cast<const std::uint16_t*>(&header);
    for (std::size_t index = 0; index < sizeof(header) / 2; ++index) sum += words[index];
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    header.checksum = static_cast<std::uint16_t>(~sum);
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header));
}

std::string echoRequest6(std::uint16_t sequence) {
    icmp6_hdr header{};
    header.icmp6_type = ICMP6_ECHO_REQUEST;
    header.icmp6_id = htons(0xc0de);
    header.icmp6_seq = htons(sequence);
    return std::string(reinterpret_cast<const char*>(&header), sizeof(header));  // the kernel adds the checksum
}

// A query for "example.com", type A.
const std::string dnsQuery(
    "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x07"
    "example\x03"
    "com\x00\x00\x01\x00\x01",
    29);

// One probe of each kind from the client namespace, and one query to the listed name server.
void probeOnce(std::uint16_t sequence) {
    std::thread prober([sequence] {
        const int space = ::open((std::string("/run/netns/") + clientNamespace).c_str(), O_RDONLY | O_CLOEXEC);
        if (space < 0 || ::setns(space, CLONE_NEWNET) != 0) return;
        ::close(space);
        for (const char* target : {target4, target6}) {
            const int family = std::string(target).find(':') == std::string::npos ? AF_INET : AF_INET6;
            send(family, SOCK_STREAM, 0, target, 80, "");
            send(family, SOCK_DGRAM, 0, target, 9, "probe");
            if (family == AF_INET)
                send(family, SOCK_RAW, IPPROTO_ICMP, target, 0, echoRequest4(sequence));
            else
                send(family, SOCK_RAW, IPPROTO_ICMPV6, target, 0, echoRequest6(sequence));
        }
        send(AF_INET, SOCK_DGRAM, 0, resolver4, 53, dnsQuery);
        send(AF_INET6, SOCK_DGRAM, 0, resolver6, 53, dnsQuery);
        send(AF_INET, SOCK_DGRAM, 0, listedNameServer, 53, dnsQuery);
    });
    prober.join();
}

// Probes every quarter second for `duration`, or until `enough` holds of what crossed so far.
Counts probeFor(std::chrono::milliseconds duration, const std::function<bool(const Counts&)>& enough = {}) {
    const auto before = readCounts();
    const auto end = std::chrono::steady_clock::now() + duration;
    static std::uint16_t sequence = 0;
    Counts crossed;
    while (std::chrono::steady_clock::now() < end) {
        probeOnce(++sequence);
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        crossed = difference(readCounts(), before);
        if (enough && enough(crossed)) break;
    }
    return crossed;
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
        const auto capture = folder / "capture.nft";
        ASSERT_TRUE(FileSystem::writeFileAtomically(capture, captureRules(), 0600));
        const auto loaded = run({"netns", "exec", serverNamespace, nft, "-f", capture.string()});
        ASSERT_EQ(loaded.exit.exitStatus, 0) << loaded.standardError;

        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "", 0600));
        ASSERT_TRUE(FileSystem::writeFileAtomically(
            folder / "systemctl", "#!/bin/sh\necho \"$@\" >> " + (folder / "systemctl-calls").string() + "\n", 0755));
        helper = std::make_unique<HelperDaemon>(
            corvantis::testing::helperProgram(), socket,
            std::vector<std::string>{"--config", (folder / "helper.conf").string(), "--bundle-resources",
                                     testbed->bundle().string(), "--runtime-folder", (folder / "run").string(), "--openvpn",
                                     "/usr/sbin/openvpn", "--systemctl", (folder / "systemctl").string(), "--guard-preferences",
                                     keyFile.string(), "--guard-script", (folder / "guard" / "corvantis_guard.sh").string(),
                                     "--guard-unit-folder", (folder / "units").string()},
            testbed->inClientNamespace());
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
        guard = ::fork();
        if (guard == 0) {
            ::execl("/sbin/ip", "ip", "netns", "exec", clientNamespace, program.c_str(), "--guard", keyFile.c_str(), "--nft", nft,
                    nullptr);
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
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (guardTable().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
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
};

TEST_F(KillSwitchLeak, NothingLeavesOutsideTheTunnelFromEngagingUntilRelease) {
    std::map<std::string, Counts> steps;
    const auto report = [&] {
        std::cout << "Packets crossing the physical link, per step:\n";
        for (const auto& [step, counts] : steps) std::cout << "  " << step << ":" << describe(counts) << "\n";
    };

    // No guard: every kind of probe is seen, so the counting works.
    steps["1 no guard"] = probeFor(std::chrono::seconds(10), everyKindSeen);
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
    ASSERT_TRUE(guardTableHas(std::string("ip daddr { ") + listedNameServer)) << guardTable() << clientRoutes();
    steps["2 engaged, tunnel up"] = probeFor(std::chrono::seconds(3));
    EXPECT_EQ(leaks(steps["2 engaged, tunnel up"]), 0) << describe(steps["2 engaged, tunnel up"]) << "\n" << clientRoutes();
    EXPECT_GT(steps["2 engaged, tunnel up"]["tunnel"], 0);
    EXPECT_GT(steps["2 engaged, tunnel up"]["listed"], 0);

    // The server dies; the client's openvpn gives up meanwhile and takes the tunnel away.
    testbed->killServer();
    steps["3 tunnel gone"] = probeFor(std::chrono::seconds(11));
    EXPECT_EQ(leaks(steps["3 tunnel gone"]), 0) << describe(steps["3 tunnel gone"]) << "\n" << clientRoutes();

    // Another program puts a default route back: the guard still holds.
    ASSERT_EQ(run({"-n", clientNamespace, "route", "replace", "default", "via", gateway}).exit.exitStatus, 0);
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
    steps["5 released"] = probeFor(std::chrono::seconds(10), everyKindSeen);
    EXPECT_TRUE(everyKindSeen(steps["5 released"])) << describe(steps["5 released"]) << "\n" << clientRoutes();

    report();
}

}  // namespace
