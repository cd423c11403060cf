#include "support/HelperFixture.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using corvantis::testing::FakeProcessLauncher;
using corvantis::testing::HelperFixture;

namespace {

using Replies = std::vector<std::optional<std::string>>;

std::string guardLine(const std::filesystem::path& resources, const std::string& gateway) {
    return "defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway " + gateway + " && cp \"" +
           resources.string() + "/com.corvantis.CorvantisGuard.plist\" /Library/LaunchDaemons/" +
           "com.corvantis.CorvantisGuard.plist && cp \"" + resources.string() +
           "/corvantis_guard.sh\" /Library/LaunchDaemons/corvantis_guard.sh && launchctl load -w " +
           "/Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist ; route -n delete default " + gateway;
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(CorvantisHelperCommands, RouteLinesChangeTheRouteTableInProcess) {
    HelperFixture fixture;
    const std::pair<std::string, std::string> cases[] = {
        {"route -n add default 192.168.1.1", "add default via 192.168.1.1"},
        {"route -n add -net 203.0.113.7 192.168.1.1", "add 203.0.113.7 via 192.168.1.1"},
        {"route -n delete 203.0.113.7 192.168.1.1", "del 203.0.113.7 via 192.168.1.1"},
        {"route -n add -net 0/1 10.8.0.1", "add 0.0.0.0/1 via 10.8.0.1"},
        {"route -n delete 0/1 10.8.0.1", "del 0.0.0.0/1 via 10.8.0.1"},
    };
    for (const auto& [line, expected] : cases) {
        const auto replies = fixture.run(line);
        ASSERT_FALSE(fixture.routes->changes().empty());
        EXPECT_EQ(fixture.routes->changes().back(), expected);
        EXPECT_EQ(replies, Replies{""}) << line;
    }
    EXPECT_TRUE(fixture.launcher->launches().empty());

    // A refused change answers what `ip` would have printed.
    fixture.routes->changeFailure = platform::foundation::Error{EEXIST, "RTNETLINK answers: File exists"};
    EXPECT_EQ(fixture.run("route -n add -net 203.0.113.7 192.168.1.1"), Replies{"RTNETLINK answers: File exists\n"});
    EXPECT_TRUE(fixture.log->mentions("Route add of a /32 route failed: RTNETLINK answers: File exists"));
    // The addresses are the caller's, and stay out of the log.
    EXPECT_FALSE(fixture.log->mentions("203.0.113.7"));
}

// Where the configuration names a program to stand in for route changes, it gets the arguments
// of `ip` and its output is relayed chunk by chunk.
TEST(CorvantisHelperCommands, AStandInRouteProgramGetsIpsArgumentsAndEachOutputChunkIsAReply) {
    HelperFixture fixture;
    fixture.configuration.tools.ip = "/sbin/ip";
    fixture.rebuild();
    fixture.launcher->script("ip", {{"first chunk", "second chunk"}, {"RTNETLINK answers: File exists\n"}, 2});
    const auto replies = fixture.run("route -n add default 192.168.1.1");
    EXPECT_EQ(replies, (Replies{"first chunk", "second chunk", "", "RTNETLINK answers: File exists\n", "", ""}));
    EXPECT_EQ(fixture.launcher->launches().back(), "/sbin/ip -4 route add default via 192.168.1.1");
    fixture.run("route -n delete 0/1 10.8.0.1");
    EXPECT_EQ(fixture.launcher->launches().back(), "/sbin/ip -4 route del 0.0.0.0/1 via 10.8.0.1");
    EXPECT_TRUE(fixture.routes->changes().empty());
    EXPECT_FALSE(fixture.log->mentions("10.8.0.1"));

    fixture.launcher->script("ip", {{"ok\xff"}, {}, 0});
    EXPECT_EQ(fixture.run("route -n add default 192.168.1.1").front(), std::nullopt);
}

TEST(CorvantisHelperCommands, TheKillSwitchLineInstallsTheGuardFromTheHelperItselfAndRestoringReleasesIt) {
    HelperFixture fixture;
    const auto replies = fixture.run(guardLine(fixture.bundle, "192.168.1.1"));
    const std::string restart = "/bin/systemctl restart com.corvantis.CorvantisGuard.service";
    EXPECT_EQ(fixture.launcher->launches(),
              (std::vector<std::string>{"/bin/systemctl daemon-reload",
                                        "/bin/systemctl enable com.corvantis.CorvantisGuard.service", restart}));
    EXPECT_EQ(fixture.routes->changes(), std::vector<std::string>{"del default via 192.168.1.1"});
    const auto& guard = fixture.configuration.guard;
    EXPECT_EQ(fixture.read(guard.preferences), "gateway=192.168.1.1\nengaged=1\n");
    EXPECT_EQ(modeOf(guard.preferences), 0600u);
    // Written by the helper; what the user's bundle holds is never installed.
    const auto unit = guard.unitFolder / "com.corvantis.CorvantisGuard.service";
    EXPECT_NE(fixture.read(unit).find("ExecStart=" + guard.script.string() + "\n"), std::string::npos);
    EXPECT_NE(fixture.read(guard.script)
                  .find("exec /usr/local/libexec/corvantis/com.corvantis.CorvantisHelper --guard " + guard.preferences.string() +
                        " --endpoints " + guard.endpoints.string() + " --nft /usr/sbin/nft --resolv-conf " +
                        fixture.configuration.resolver.etc.string() + "\n"),
              std::string::npos);
    // Started before the network and ready only once its table stands, also after a reboot.
    for (const char* line : {"DefaultDependencies=no\n", "Before=network-pre.target shutdown.target\n",
                             "Wants=network-pre.target\n", "Type=notify\n", "Restart=always\n", "WantedBy=sysinit.target\n"}) {
        EXPECT_NE(fixture.read(unit).find(line), std::string::npos) << line;
    }
    EXPECT_EQ(modeOf(guard.script), 0755u);
    EXPECT_EQ(modeOf(unit), 0644u);
    EXPECT_EQ(replies.front(), "");

    // The key file outlives a reboot: host routes, which do not, never rewrite it, and engaging
    // again leaves it as it stands.
    const auto inode = [&] {
        struct stat info {};
        return ::stat(guard.preferences.c_str(), &info) == 0 ? info.st_ino : 0;
    };
    const auto written = inode();
    fixture.run("route -n add -net 203.0.113.7 192.168.1.1");
    fixture.run("route -n add -net 9.9.9.9 192.168.1.1");
    fixture.run("route -n delete 9.9.9.9 192.168.1.1");
    fixture.run(guardLine(fixture.bundle, "192.168.1.1"));
    EXPECT_EQ(inode(), written);
    EXPECT_EQ(fixture.read(guard.preferences), "gateway=192.168.1.1\nengaged=1\n");

    fixture.run("route -n add default 192.168.1.1");
    EXPECT_EQ(fixture.read(guard.preferences), "gateway=192.168.1.1\nengaged=0\n");
    EXPECT_EQ(fixture.launcher->launches().back(), restart);
    // Released already: a second restore restarts nothing.
    const auto launched = fixture.launcher->launches().size();
    fixture.run("route -n add default 192.168.1.1");
    EXPECT_EQ(fixture.launcher->launches().size(), launched);
    EXPECT_EQ(fixture.routes->changes().back(), "add default via 192.168.1.1");
}

TEST(CorvantisHelperCommands, AFailedGuardStepStopsTheChainButTheDefaultRouteStillGoes) {
    HelperFixture fixture;
    fixture.write(fixture.configuration.guard.unitFolder, "a file where the unit folder should be\n", 0644);
    const auto replies = fixture.run(guardLine(fixture.bundle, "192.168.1.1"));
    EXPECT_TRUE(fixture.launcher->launches().empty());
    EXPECT_EQ(fixture.routes->changes(), std::vector<std::string>{"del default via 192.168.1.1"});
    ASSERT_FALSE(replies.empty());
    EXPECT_TRUE(fixture.log->mentions("The kill-switch guard was not installed"));
}

TEST(CorvantisHelperCommands, QueriesAreAnsweredFromTheResolverFileAndTheRouteTable) {
    HelperFixture fixture;
    EXPECT_EQ(fixture.run("scutil --dns | grep 'nameserver' | awk '{print $3}'"), (Replies{"192.168.1.1\n8.8.8.8\n"}));
    EXPECT_EQ(fixture.run("grep -v '#' < /etc/resolv.conf | awk {'print $2'}"), (Replies{"192.168.1.1\n8.8.8.8\n"}));
    EXPECT_EQ(fixture.run("netstat -nr | grep '^default' | awk 'NR==1{print $2}'"), (Replies{"192.168.1.1\n"}));
    EXPECT_TRUE(fixture.launcher->launches().empty());

    std::filesystem::remove(fixture.configuration.resolver.etc);
    EXPECT_EQ(fixture.run("scutil --dns | grep 'nameserver' | awk '{print $3}'"), (Replies{""}));
}

TEST(CorvantisHelperCommands, TheDownScriptRunsFromTheBundleOnlyWhenNobodyButRootCanHaveWrittenIt) {
    HelperFixture fixture;
    fixture.launcher->script("sh", {{"down\n"}, {}, 0});
    const std::string line = "sh \"" + fixture.bundle.string() + "/down.sh\"";
    const auto replies = fixture.run(line);
    // The content read once and checked is what runs, never the file again.
    EXPECT_EQ(fixture.launcher->launches(),
              (std::vector<std::string>{"/bin/sh -c echo down\n " + (fixture.bundle / "down.sh").string()}));
    EXPECT_EQ(replies.front(), "down\n");
    // The log names the program, not the script's text.
    EXPECT_TRUE(fixture.log->mentions("Running /bin/sh"));
    EXPECT_FALSE(fixture.log->mentions("echo down"));

    ::chmod((fixture.bundle / "down.sh").c_str(), 0777);
    EXPECT_EQ(fixture.run(line), (Replies{""}));
    ::chmod((fixture.bundle / "down.sh").c_str(), 0755);
    ::chmod(fixture.bundle.c_str(), 0777);
    EXPECT_EQ(fixture.run(line), (Replies{""}));
    EXPECT_EQ(fixture.launcher->launches().size(), 1u);
    EXPECT_TRUE(
        fixture.log->mentions("Refusing to run the down script: " + fixture.bundle.string() + " is writable by group or others"));
}

TEST(CorvantisHelperCommands, TheDnsFlushUsesResolvectlOnlyWhereItIsInstalled) {
    HelperFixture fixture;
    const std::string flush = "dscacheutil -flushcache; sudo killall -HUP mDNSResponder";
    EXPECT_EQ(fixture.run(flush), (Replies{""}));
    EXPECT_TRUE(fixture.launcher->launches().empty());

    fixture.write(fixture.configuration.tools.resolvectl, "#!/bin/sh\n", 0755);
    fixture.run(flush);
    EXPECT_EQ(fixture.launcher->launches(),
              (std::vector<std::string>{fixture.configuration.tools.resolvectl.string() + " flush-caches"}));
}

TEST(CorvantisHelperCommands, LoginItemLinesManageTheCallersAutostartEntry) {
    HelperFixture fixture;
    const auto entry = fixture.home / ".config" / "autostart" / "com.corvantis.Corvantis.desktop";
    EXPECT_EQ(fixture.run("osascript -e 'tell application \"System Events\" to make login item at end with properties "
                          "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'"),
              (Replies{""}));
    EXPECT_NE(fixture.read(entry).find("Exec=\"/opt/corvantis/corvantis-vpn\""), std::string::npos);
    EXPECT_EQ(fixture.run("osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'"),
              (Replies{""}));
    EXPECT_FALSE(std::filesystem::exists(entry));
    // Called directly, not over a connection: the helper's own user.
    EXPECT_EQ(*fixture.accountsAsked, (std::vector<uid_t>{::geteuid(), ::geteuid()}));
}

TEST(CorvantisHelperCommands, BundlePreparationLinesNeedNothingOnLinux) {
    HelperFixture fixture;
    const std::string resources = fixture.bundle.string();
    for (const auto& line :
         {"chown -R root:wheel " + resources + "/Kexts/*", "chown root:wheel " + resources + "/openvpn",
          "chmod +x 755 " + resources + "/openvpn", "/sbin/kextload " + resources + "/Kexts/tun-notarized.kext"}) {
        EXPECT_EQ(fixture.run(line), (Replies{""})) << line;
    }
    EXPECT_TRUE(fixture.launcher->launches().empty());
}

TEST(CorvantisHelperCommands, RefusedLinesGetTheEmptyReplyAndALoggedReasonAndRunNothing) {
    HelperFixture fixture;
    for (const std::string line :
         {"route -n add default 192.168.1.1; reboot", "rm -rf /", "route -n add default 10.0.0.300", "sh \"/tmp/down.sh\""}) {
        EXPECT_EQ(fixture.run(line), (Replies{""})) << line;
    }
    EXPECT_TRUE(fixture.launcher->launches().empty());
    const std::string uid = std::to_string(::geteuid());
    EXPECT_TRUE(fixture.log->mentions("Refused a command from uid " + uid + ": an address in it is not an IPv4 address"));
    EXPECT_TRUE(fixture.log->mentions("Refused a command from uid " + uid + ": it is not one of the command lines"));
    EXPECT_FALSE(fixture.log->mentions("reboot"));
    EXPECT_FALSE(fixture.log->mentions("rm -rf"));
}

TEST(CorvantisHelperCommands, ToggleIpv6NeverReplies) {
    HelperFixture fixture;
    bool replied = false;
    fixture.helper->toggleIpv6(true, [&](std::optional<std::string>) { replied = true; });
    EXPECT_FALSE(replied);
}

TEST(CorvantisHelperCommands, ResolverBackupAndRestoreUseTheConfiguredPaths) {
    HelperFixture fixture;
    fixture.helper->backupResolvConf();
    EXPECT_EQ(fixture.read(fixture.configuration.resolver.backup), "nameserver 192.168.1.1\nnameserver 8.8.8.8\n");
    std::filesystem::remove(fixture.configuration.resolver.etc);
    fixture.helper->restoreResolvConf();
    EXPECT_EQ(fixture.read(fixture.configuration.resolver.etc), "nameserver 192.168.1.1\nnameserver 8.8.8.8\n");
}

}  // namespace
