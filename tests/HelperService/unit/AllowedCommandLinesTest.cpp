#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "HelperService/CorvantisHelperInterface/ShellText.hpp"

#include <gtest/gtest.h>

#include <set>

using corvantis::helper::AllowedCommandLines;
using corvantis::helper::CommandRefusal;
using corvantis::helper::Ipv4Address;

namespace {

const std::string resources = "/opt/Corvantis VPN/Resources";

// The guard line exactly as the route control builds it.
std::string killSwitchLine(const std::string& gateway, const std::string& lastGateway) {
    return "defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway " + gateway + " && cp \"" + resources +
           "/com.corvantis.CorvantisGuard.plist\" /Library/LaunchDaemons/" + "com.corvantis.CorvantisGuard.plist && cp \"" +
           resources + "/corvantis_guard.sh\" /Library/LaunchDaemons/" +
           "corvantis_guard.sh && launchctl load -w /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist" +
           " ; route -n delete default " + lastGateway;
}

TEST(Ipv4Address, ParsesOnlyPlainDottedQuads) {
    EXPECT_EQ(Ipv4Address::parse("192.168.1.1")->text(), "192.168.1.1");
    EXPECT_EQ(Ipv4Address::parse("0.0.0.0")->text(), "0.0.0.0");
    EXPECT_EQ(Ipv4Address::parse("255.255.255.255")->text(), "255.255.255.255");
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.04", "01.2.3.4", " 1.2.3.4", "1.2.3.4 ", "1.2.3.-4",
                            "+1.2.3.4", "1..3.4", "1.2.3.", "0x1.2.3.4", "1.2.3.4/32", "::1", "1.2.3.4\n", "1234.1.1.1"}) {
        EXPECT_FALSE(Ipv4Address::parse(bad)) << bad;
    }
    EXPECT_EQ(Ipv4Address::fromNetworkOrder(0x0101A8C0).text(), "192.168.1.1");
}

// Every line the application sends, with the record it stands for: the record renders the line
// exactly and the line parses back into the same record.
TEST(AllowedCommandLines, AcceptsEveryLineTheApplicationSends) {
    namespace helper = corvantis::helper;
    const auto ip = [](const char* text) { return *Ipv4Address::parse(text); };
    const std::filesystem::path bundle = resources;
    const std::vector<std::pair<std::string, helper::RootCommand>> cases = {
        {"route -n add default 192.168.1.1", helper::AddDefaultRoute{ip("192.168.1.1")}},
        {"route -n add -net 203.0.113.7 192.168.1.1", helper::AddHostRoute{ip("203.0.113.7"), ip("192.168.1.1")}},
        {"route -n delete 203.0.113.7 192.168.1.1", helper::DeleteHostRoute{ip("203.0.113.7"), ip("192.168.1.1")}},
        {"route -n add -net 0/1 10.8.0.1", helper::AddTunnelRoute{ip("10.8.0.1")}},
        {"route -n delete 0/1 10.8.0.1", helper::DeleteTunnelRoute{ip("10.8.0.1")}},
        {killSwitchLine("192.168.1.1", "192.168.1.1"),
         helper::EngageKillSwitch{ip("192.168.1.1"), bundle / "com.corvantis.CorvantisGuard.plist",
                                  bundle / "corvantis_guard.sh"}},
        {"scutil --dns | grep 'nameserver' | awk '{print $3}'", helper::ListNameServers{}},
        {"grep -v '#' < /etc/resolv.conf | awk {'print $2'}", helper::ListResolverSecondFields{}},
        {"netstat -nr | grep '^default' | awk 'NR==1{print $2}'", helper::FindDefaultGateway{}},
        {"dscacheutil -flushcache; sudo killall -HUP mDNSResponder", helper::FlushDnsCache{}},
        {"sh \"" + resources + "/down.sh\"", helper::RunDownScript{bundle / "down.sh"}},
        {"osascript -e 'tell application \"System Events\" to make login item at end with properties "
         "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'",
         helper::AddLoginItem{}},
        {"osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'", helper::DeleteLoginItem{}},
        // A path with a blank is one quoted shell word.
        {"chown -R root:wheel '/opt/Corvantis VPN/Resources/Kexts'/*", helper::OwnTunnelDrivers{bundle / "Kexts"}},
        {"chown root:wheel '/opt/Corvantis VPN/Resources/openvpn'", helper::OwnOpenVpnProgram{bundle / "openvpn"}},
        {"chmod +x 755 '/opt/Corvantis VPN/Resources/openvpn'", helper::MakeOpenVpnExecutable{bundle / "openvpn"}},
        {"/sbin/kextload '/opt/Corvantis VPN/Resources/Kexts/tun-notarized.kext'",
         helper::LoadTunnelDriver{bundle / "Kexts" / "tun-notarized.kext"}},
    };
    // Every kind of command is in the table.
    std::set<std::size_t> kinds;
    const AllowedCommandLines lines(resources);
    for (const auto& [line, record] : cases) {
        kinds.insert(record.index());
        EXPECT_EQ(helper::commandLine(record), line);
        const auto matched = lines.match(line);
        const auto* command = std::get_if<helper::RootCommand>(&matched);
        ASSERT_NE(command, nullptr) << line << ": " << std::get<CommandRefusal>(matched).reason;
        EXPECT_TRUE(*command == record) << line;
    }
    EXPECT_EQ(kinds.size(), std::variant_size_v<helper::RootCommand>);
}

TEST(AllowedCommandLines, RefusesEverythingElseWithAReason) {
    struct Case {
        std::string line;
        std::string reason;
    };
    const std::string unknown = "not one of the command lines";
    const std::vector<Case> cases = {
        {"route -n add default 192.168.1.1; rm -rf /", "is not an IPv4 address"},
        {"route -n add default 192.168.1.1 && reboot", "is not an IPv4 address"},
        {"route -n add default $(reboot)", "is not an IPv4 address"},
        {"route -n add default `reboot`", "is not an IPv4 address"},
        {"route -n add default 192.168.1.1\nreboot", "is not an IPv4 address"},
        {"route -n add default 192.168.1.1 | sh", "is not an IPv4 address"},
        {"route -n add default gateway.example.com", "is not an IPv4 address"},
        {"route -n add default 192.168.1.256", "is not an IPv4 address"},
        {"route -n add -net 203.0.113.7 192.168.1.1 192.168.1.2", "is not an IPv4 address"},
        {"route -n add -net 203.0.113.0/24 192.168.1.1", "is not an IPv4 address"},
        {"route -n delete 0/1 utun2", "is not an IPv4 address"},
        {"route -n delete default 192.168.1.1", "\"default\" is not an IPv4 address"},
        {"route  -n add default 192.168.1.1", unknown},
        {"ROUTE -n add default 192.168.1.1", unknown},
        {" route -n add default 192.168.1.1", unknown},
        {"rm -rf /", unknown},
        {"", unknown},
        {"sh \"/tmp/down.sh\"", unknown},
        {"sh \"" + resources + "/../../tmp/down.sh\"", unknown},
        {"sh \"" + resources + "/down.sh\"; reboot", unknown},
        {"sh " + resources + "/down.sh", unknown},
        {"chown root:wheel /etc/shadow", unknown},
        {"netstat -nr | grep '^default' | awk 'NR==1{print $2}' | sh", unknown},
        {"pkill -SIGTERM -f openvpn", unknown},
        {"killall com.corvantis.CorvantisHelper", unknown},
        {killSwitchLine("192.168.1.1", "192.168.1.2"), "two different gateways"},
        // Records naming files outside the bundle render, but the helper takes none of them.
        {corvantis::helper::commandLine(corvantis::helper::RunDownScript{"/tmp/down.sh"}), unknown},
        {corvantis::helper::commandLine(corvantis::helper::RunDownScript{resources + "/up.sh"}), unknown},
        {corvantis::helper::commandLine(corvantis::helper::OwnOpenVpnProgram{resources + "/openvpn;reboot"}), unknown},
        {corvantis::helper::commandLine(corvantis::helper::EngageKillSwitch{*Ipv4Address::parse("192.168.1.1"),
                                                                            resources + "/corvantis_guard.sh",
                                                                            resources + "/com.corvantis.CorvantisGuard.plist"}),
         unknown},
        {"sh \"" + resources + "/down.sh\" ", unknown},
        {"route -n add -net 0/1 10.8.0.1 ", "is not an IPv4 address"},
        {killSwitchLine("192.168.1.1; reboot", "192.168.1.1"), "is not an IPv4 address"},
    };
    const AllowedCommandLines lines(resources);
    for (const auto& testCase : cases) {
        const auto matched = lines.match(testCase.line);
        const auto* refusal = std::get_if<CommandRefusal>(&matched);
        ASSERT_NE(refusal, nullptr) << testCase.line;
        EXPECT_NE(refusal->reason.find(testCase.reason), std::string::npos) << testCase.line << ": " << refusal->reason;
    }
}

TEST(AllowedCommandLines, WithoutABundleTheLinesNamingBundleFilesAreRefused) {
    const AllowedCommandLines lines({});
    EXPECT_TRUE(std::holds_alternative<CommandRefusal>(lines.match("sh \"/down.sh\"")));
    EXPECT_TRUE(std::holds_alternative<CommandRefusal>(lines.match(killSwitchLine("192.168.1.1", "192.168.1.1"))));
    EXPECT_TRUE(std::holds_alternative<corvantis::helper::RootCommand>(lines.match("route -n add default 192.168.1.1")));
}

TEST(AllowedCommandLines, ARefusalQuotesTheOffendingTextSafelyForTheLog) {
    const AllowedCommandLines lines(resources);
    const auto matched = lines.match("route -n add default 1.2.3.4\n\x1b[2J");
    EXPECT_EQ(std::get<CommandRefusal>(matched).reason, "\"1.2.3.4\\x0a\\x1b[2J\" is not an IPv4 address");
}

TEST(ShellText, PathsAreQuotedOnlyWhenTheyHoldMoreThanPlainCharacters) {
    using corvantis::helper::ShellText::doubleQuoted;
    using corvantis::helper::ShellText::word;
    const std::vector<std::pair<std::string, std::string>> words{
        {"/opt/corvantis/Resources/openvpn", "/opt/corvantis/Resources/openvpn"},
        {"/a_b/c-d/e+f/g.h", "/a_b/c-d/e+f/g.h"},
        {"/opt/Corvantis VPN/openvpn", "'/opt/Corvantis VPN/openvpn'"},
        {"/tmp/x;reboot", "'/tmp/x;reboot'"},
        {"/tmp/it's", "'/tmp/it'\\''s'"},
        {"/tmp/$(id)", "'/tmp/$(id)'"},
        {"", "''"},
    };
    for (const auto& [path, expected] : words) EXPECT_EQ(word(path), expected) << path;
    EXPECT_EQ(doubleQuoted("/opt/Corvantis VPN/down.sh"), "\"/opt/Corvantis VPN/down.sh\"");
    EXPECT_EQ(doubleQuoted("/a\"b$c`d\\e"), "\"/a\\\"b\\$c\\`d\\\\e\"");
}

TEST(AllowedCommandLines, ABundlePathIsAcceptedOnlyQuotedTheWayTheApplicationQuotesIt) {
    const std::string bundle = "/opt/a \"b\" $c";
    const AllowedCommandLines lines(bundle);
    const auto accepts = [&](const std::string& line, const corvantis::helper::RootCommand& record) {
        const auto matched = lines.match(line);
        return std::holds_alternative<corvantis::helper::RootCommand>(matched) &&
               std::get<corvantis::helper::RootCommand>(matched) == record;
    };
    const auto refuses = [&](const std::string& line) { return std::holds_alternative<CommandRefusal>(lines.match(line)); };
    EXPECT_TRUE(accepts("sh \"/opt/a \\\"b\\\" \\$c/down.sh\"", corvantis::helper::RunDownScript{bundle + "/down.sh"}));
    EXPECT_TRUE(refuses("sh \"/opt/a \"b\" $c/down.sh\""));
    EXPECT_TRUE(accepts("chown root:wheel '/opt/a \"b\" $c/openvpn'", corvantis::helper::OwnOpenVpnProgram{bundle + "/openvpn"}));
    EXPECT_TRUE(refuses("chown root:wheel /opt/a \"b\" $c/openvpn"));
}

}  // namespace
