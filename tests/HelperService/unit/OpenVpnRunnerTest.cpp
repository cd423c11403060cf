// The OpenVPN runner against a fake launcher whose openvpn the tests play line by line.

#include "platform/foundation/FileSystem.hpp"
#include "support/HelperFixture.hpp"
#include "support/ProfileShapes.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sys/stat.h>

using corvantis::testing::FakeProcessLauncher;
using corvantis::testing::HelperFixture;
using corvantis::testing::VirtualTime;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

using Texts = std::vector<std::string>;

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The replies of one runOpenVPN call, as they arrive; the channel may outlive this object.
class Replies {
public:
    corvantis::helper::TextArrayReply channel() {
        return [shared = shared_](std::optional<Texts> reply) {
            std::lock_guard lock(shared->mutex);
            shared->replies.push_back(reply.value_or(Texts{"<no array>"}));
            shared->arrived.notify_all();
        };
    }
    // Waits until `count` replies have arrived, for runs of a real program.
    void waitFor(std::size_t count) const {
        std::unique_lock lock(shared_->mutex);
        shared_->arrived.wait(lock, [&] { return shared_->replies.size() >= count; });
    }
    std::vector<Texts> all() const {
        std::lock_guard lock(shared_->mutex);
        return shared_->replies;
    }
    // The first element of each reply.
    Texts kinds() const {
        Texts kinds;
        for (const auto& reply : all()) kinds.push_back(reply.empty() ? "<empty>" : reply.front());
        return kinds;
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable arrived;
        std::vector<Texts> replies;
    };
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

struct OpenVpnFixture : HelperFixture {
    OpenVpnFixture() { launcher->hold("openvpn"); }
    // For a virtual clock installed on top of the fixture's services.
    platform::Services launcherServices() const {
        platform::Services services;
        services.processLauncherOverride = launcher;
        return services;
    }
    ~OpenVpnFixture() {
        // A held program keeps its run alive until it ends.
        for (const auto& process : launcher->held()) process->exit(0, SIGTERM);
    }

    std::shared_ptr<FakeProcessLauncher::HeldProcess> start(Replies& replies, std::optional<std::string> user = "alice",
                                                            std::optional<std::string> password = "s3cret pass") {
        const auto before = launcher->held().size();
        helper->runOpenVPN("/Applications/Corvantis VPN.app/Contents/Resources/openvpn", profile.string(), user, password,
                           bundle.string(), replies.channel());
        const auto held = launcher->held();
        return held.size() > before ? held.back() : nullptr;
    }

    std::vector<std::filesystem::path> runFolders() const {
        std::vector<std::filesystem::path> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(configuration.runtimeFolder, error)) {
            found.push_back(entry.path());
        }
        return found;
    }
};

TEST(OpenVpnRunner, RunsTheConfiguredProgramWithItsOwnRootOnlyFolder) {
    OpenVpnFixture fixture;
    Replies replies;
    const auto process = fixture.start(replies);
    ASSERT_NE(process, nullptr);

    const auto& request = process->request();
    const auto folder = request.workingDirectory;
    EXPECT_EQ(request.program, "/usr/sbin/openvpn");
    EXPECT_EQ(folder.parent_path(), fixture.configuration.runtimeFolder);
    EXPECT_EQ(request.arguments, (Texts{"--ignore-unknown-option", "keysize", "--config", (folder / "config.ovpn").string(),
                                        "--script-security", "2", "--auth-user-pass", (folder / "credentials").string()}));
    EXPECT_NE(request.standardInput, nullptr);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(folder / "credentials"), 0600u);
    EXPECT_EQ(fixture.read(folder / "credentials"), "alice\ns3cret pass\n");
    EXPECT_EQ(modeOf(folder / "config.ovpn"), 0600u);
    // openvpn reads the helper's own rendering of the profile, not the caller's text.
    EXPECT_EQ(fixture.read(folder / "config.ovpn"),
              "client\ndev tun\nproto udp\nremote 198.51.100.1 1194\nauth-user-pass\nkeysize 256\nup up.sh\ndown down.sh\n" +
                  corvantis::testing::block("ca", corvantis::testing::pemObject("CERTIFICATE")));
    EXPECT_EQ(fixture.read(folder / "up.sh"), fixture.read(fixture.bundle / "up.sh"));
    EXPECT_EQ(modeOf(folder / "down.sh"), 0700u);
    EXPECT_TRUE(fixture.log->mentions("Running /usr/sbin/openvpn in place of the requested program"));
    EXPECT_FALSE(fixture.log->mentions("/Applications/"));
    EXPECT_FALSE(fixture.log->mentions("s3cret"));

    process->exit(1);
    EXPECT_FALSE(FileSystem::fileExists(folder));
    EXPECT_EQ(replies.kinds(), Texts{"ended"});
}

TEST(OpenVpnRunner, WithoutCredentialsNoFileIsWrittenAndPromptsAreAnswered) {
    OpenVpnFixture fixture;
    Replies replies;
    const auto process = fixture.start(replies, "bob", std::nullopt);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(process->request().arguments.size(), 6u);
    EXPECT_FALSE(FileSystem::fileExists(process->request().workingDirectory / "credentials"));

    process->complain("Enter Auth Username:");
    EXPECT_EQ(process->input(), "bob\n");
    process->complain("Enter Auth Password:");
    EXPECT_EQ(process->input(), "\n");
    // Only a chunk that is the prompt alone is answered.
    process->complain("WARNING: something\nEnter Auth Username:");
    EXPECT_EQ(process->input(), "");
    EXPECT_TRUE(fixture.log->mentions("OpenVPN Setting Username"));
    EXPECT_TRUE(fixture.log->mentions("OpenVPN Setting Password"));
}

TEST(OpenVpnRunner, ConnectedCarriesTheOutputAndTheGatewayOfThisRun) {
    OpenVpnFixture fixture;
    Replies replies;
    const auto process = fixture.start(replies);
    ASSERT_NE(process, nullptr);
    process->say("2026-12-08 20:52:11 PUSH: Received control message: 'PUSH_REPLY,route-gateway 203.0.113.1'\n");
    process->say("2026-12-08 20:52:11 net_route_v4_best_gw result: via 0.0.0.0 dev\nadd net 0.0.0.0: gat");
    process->say("eway 203.0.113.1\n");
    process->complain("WARNING: compression\n");
    process->say("2026-12-08 20:52:13 Initialization Sequence Completed\n");

    const auto all = replies.all();
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].size(), 3u);
    EXPECT_EQ(all[0][0], "connected");
    EXPECT_EQ(all[0][1].rfind("OpenVPN ended with output:2026-12-08 20:52:11 PUSH:", 0), 0u) << all[0][1];
    EXPECT_NE(all[0][1].find("add net 0.0.0.0: gateway 203.0.113.1\nWARNING: compression\n"), std::string::npos);
    EXPECT_EQ(all[0][1].substr(all[0][1].size() - 11), "Completed\n\n");
    EXPECT_EQ(all[0][2], "203.0.113.1");
    EXPECT_TRUE(fixture.log->mentions("ROUTE 203.0.113.1"));
    EXPECT_TRUE(fixture.log->mentions("OpenVPN Connected"));

    // The next run starts without a gateway, and a "gateway" word that is not IPv4 gives none.
    Replies second;
    const auto next = fixture.start(second);
    ASSERT_NE(next, nullptr);
    next->say("add net 0.0.0.0: gateway 10.8.0.1;reboot\nadd net 0.0.0.0: gateway 2001:db8::1\n");
    next->say("Initialization Sequence Completed\n");
    ASSERT_EQ(second.all().size(), 1u);
    EXPECT_EQ(second.all()[0].size(), 2u);
    EXPECT_EQ(second.all()[0][1].find("PUSH_REPLY"), std::string::npos);
}

TEST(OpenVpnRunner, EveryDropMarkerStopsThatRunAndRepliesEnded) {
    for (const std::string marker :
         {"Connection refused", "Connection reset", "Inactivity timeout", "read UDP: Unknown error", "AUTH_FAILED"}) {
        OpenVpnFixture fixture;
        VirtualTime time{fixture.launcherServices()};
        Replies replies;
        const auto process = fixture.start(replies);
        ASSERT_NE(process, nullptr);
        process->say("2026-12-08 21:00:00 " + marker + " (code=104)\n");
        EXPECT_EQ(replies.kinds(), Texts{"ended"}) << marker;
        EXPECT_EQ(fixture.launcher->signals(), (std::vector<std::pair<pid_t, int>>{{process->pid(), SIGTERM}})) << marker;
        EXPECT_TRUE(fixture.log->mentions("OpenVPN connection dropped 2026-12-08 21:00:00 " + marker)) << marker;
        process->exit(0, SIGTERM);
        EXPECT_EQ(replies.kinds(), (Texts{"ended", "ended"})) << marker;
    }
}

TEST(OpenVpnRunner, OneLineWithBothMarkersGivesConnectedThenEnded) {
    OpenVpnFixture fixture;
    VirtualTime time{fixture.launcherServices()};
    Replies replies;
    const auto process = fixture.start(replies);
    ASSERT_NE(process, nullptr);
    process->say("Initialization Sequence Completed; then AUTH_FAILED\n");
    EXPECT_EQ(replies.kinds(), (Texts{"connected", "ended"}));
}

TEST(OpenVpnRunner, TwoRunsKeepTheirOwnOutputRepliesAndInput) {
    OpenVpnFixture fixture;
    Replies firstReplies, secondReplies;
    const auto first = fixture.start(firstReplies, "first-user", std::nullopt);
    const auto second = fixture.start(secondReplies, "second-user", std::nullopt);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->request().workingDirectory, second->request().workingDirectory);

    second->say("second run talking\n");
    first->complain("Enter Auth Username:");
    EXPECT_EQ(first->input(), "first-user\n");
    EXPECT_EQ(second->input(), "");
    first->say("Initialization Sequence Completed\n");
    second->exit(1);

    ASSERT_EQ(firstReplies.all().size(), 1u);
    EXPECT_EQ(firstReplies.all()[0][0], "connected");
    EXPECT_EQ(firstReplies.all()[0][1].find("second run"), std::string::npos);
    EXPECT_NE(secondReplies.all().at(0)[1].find("second run talking"), std::string::npos);
    EXPECT_EQ(fixture.runFolders().size(), 1u);
}

TEST(OpenVpnRunner, TheEndOfTheErrorStreamOnlyStopsWatchingIt) {
    OpenVpnFixture fixture;
    Replies replies;
    const auto process = fixture.start(replies);
    ASSERT_NE(process, nullptr);
    process->complain("half a character \xC3");
    process->complain({});
    process->say("Initialization Sequence Completed\n");
    EXPECT_TRUE(fixture.launcher->signals().empty());
    EXPECT_EQ(fixture.launcher->launches().size(), 1u);
    EXPECT_EQ(replies.kinds(), Texts{"connected"});
    EXPECT_NE(replies.all()[0][1].find("half a character \xEF\xBF\xBD"), std::string::npos);
}

TEST(OpenVpnRunner, OutputIsDecodedLenientlyAcrossChunks) {
    OpenVpnFixture fixture;
    Replies replies;
    const auto process = fixture.start(replies);
    ASSERT_NE(process, nullptr);
    process->say("caf\xC3");
    process->say("\xA9 \xFF ok\nInitialization Sequence Completed\n");
    ASSERT_EQ(replies.kinds(), Texts{"connected"});
    EXPECT_NE(replies.all()[0][1].find("caf\xC3\xA9 \xEF\xBF\xBD ok\n"), std::string::npos);
    EXPECT_TRUE(fixture.log->mentions("OpenVPN: caf\\xc3\\xa9 \\xef\\xbf\\xbd ok"));
}

TEST(OpenVpnRunner, KillEndsOnlyRunsStillGoingTermThenKillAfterTheGracePeriod) {
    OpenVpnFixture fixture;
    VirtualTime time{fixture.launcherServices()};
    Replies endedReplies, stubbornReplies, politeReplies;
    const auto ended = fixture.start(endedReplies);
    const auto stubborn = fixture.start(stubbornReplies);
    const auto polite = fixture.start(politeReplies);
    ASSERT_NE(polite, nullptr);
    ended->exit(1);

    fixture.helper->killOpenVPN();
    using Signals = std::vector<std::pair<pid_t, int>>;
    EXPECT_EQ(fixture.launcher->signals(), (Signals{{stubborn->pid(), SIGTERM}, {polite->pid(), SIGTERM}}));
    polite->exit(0, SIGTERM);
    time.advance(std::chrono::seconds(4));
    EXPECT_EQ(fixture.launcher->signals().size(), 2u);
    time.advance(std::chrono::seconds(1));
    EXPECT_EQ(fixture.launcher->signals(),
              (Signals{{stubborn->pid(), SIGTERM}, {polite->pid(), SIGTERM}, {stubborn->pid(), SIGKILL}}));
    stubborn->exit(0, SIGKILL);
    EXPECT_EQ(stubbornReplies.kinds(), Texts{"ended"});
    EXPECT_TRUE(fixture.runFolders().empty());

    // Nothing is left to stop: disconnect signals nobody.
    fixture.helper->disconnect();
    EXPECT_EQ(fixture.launcher->signals().size(), 3u);
}

TEST(OpenVpnRunner, RefusedRequestsAnswerEndedWithTheReasonAndStartNothing) {
    struct Case {
        const char* what;
        std::function<void(OpenVpnFixture&)> arrange;
        std::string workingDirectory;
        std::optional<std::string> password;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"a working directory outside the bundle", [](OpenVpnFixture&) {}, "/tmp", "pw", "is not the bundle's resources"},
        {"a profile of another name",
         [](OpenVpnFixture& f) {
             f.profile = f.profile.parent_path() / "elsewhere.ovpn";
             f.write(f.profile, "client\n", 0600);
         },
         "", "pw", "is not a config.ovpn"},
        {"a profile in a folder open to others",
         [](OpenVpnFixture& f) { std::filesystem::permissions(f.profile.parent_path(), std::filesystem::perms(0755)); }, "", "pw",
         "is open to other users"},
        {"a profile others may write", [](OpenVpnFixture& f) { f.write(f.profile, "client\n", 0666); }, "", "pw",
         "is writable by group or others"},
        {"a profile that loads a plugin", [](OpenVpnFixture& f) { f.write(f.profile, "client\nplugin /tmp/evil.so\n"); }, "",
         "pw", "The profile's line 2 is not a directive the helper accepts"},
        {"a plugin after a block's closing tag",
         [](OpenVpnFixture& f) {
             f.write(f.profile, "client\nremote 198.51.100.1 1194\n<ca>\n" + corvantis::testing::pemObject("CERTIFICATE") +
                                    "</ca>plugin /tmp/evil.so\n");
         },
         "", "pw", "The profile's line 7 begins with \"<\" inside the <ca> block"},
        {"a plugin past the line length openvpn reads",
         [](OpenVpnFixture& f) {
             f.write(f.profile, "client\nremote 198.51.100.1 1194\n#" + std::string(300, 'x') + "plugin /tmp/evil.so\n");
         },
         "", "pw", "The profile's line 3 is longer than 254 bytes"},
        {"a profile with another up script", [](OpenVpnFixture& f) { f.write(f.profile, "client\nup /tmp/evil.sh\n"); }, "", "pw",
         "gives \"up\" an argument 1 that is not one of up.sh"},
        {"a profile that names a credentials file", [](OpenVpnFixture& f) { f.write(f.profile, "auth-user-pass /etc/shadow\n"); },
         "", "pw", "gives \"auth-user-pass\" too many arguments"},
        {"an up script others may write", [](OpenVpnFixture& f) { f.write(f.bundle / "up.sh", "#!/bin/sh\n", 0777); }, "", "pw",
         "refusing the bundle's up.sh"},
        {"a profile that is a symbolic link",
         [](OpenVpnFixture& f) {
             std::filesystem::remove(f.profile);
             std::filesystem::create_symlink("/etc/passwd", f.profile);
         },
         "", "pw", "is a symbolic link"},
        {"a password with a line break", [](OpenVpnFixture&) {}, "", "pw\nsecond line", "holds a line break"},
    };
    for (const auto& testCase : cases) {
        OpenVpnFixture fixture;
        testCase.arrange(fixture);
        Replies replies;
        fixture.helper->runOpenVPN("/usr/sbin/openvpn", fixture.profile.string(), "alice", testCase.password,
                                   testCase.workingDirectory.empty() ? fixture.bundle.string() : testCase.workingDirectory,
                                   replies.channel());
        EXPECT_TRUE(fixture.launcher->launches().empty()) << testCase.what;
        ASSERT_EQ(replies.kinds(), Texts{"ended"}) << testCase.what;
        EXPECT_NE(replies.all()[0][1].find(testCase.reason), std::string::npos) << testCase.what << ": " << replies.all()[0][1];
        EXPECT_TRUE(fixture.runFolders().empty()) << testCase.what;
        EXPECT_TRUE(fixture.log->mentions("OpenVPN not started")) << testCase.what;
        // Neither the profile's text nor a path the caller named reaches the log.
        for (const auto& chosen : {std::string("evil"), std::string("shadow"), fixture.profile.parent_path().string()}) {
            EXPECT_FALSE(fixture.log->mentions(chosen)) << testCase.what << ": " << chosen;
        }
    }
}

TEST(OpenVpnRunner, ARealProgramThatPromptsGetsItsAnswersThroughThePipe) {
    HelperFixture fixture;
    platform::ScopedServices realLauncher{platform::Services{}};
    fixture.configuration.tools.openvpn = fixture.folder / "prompting-openvpn";
    fixture.write(fixture.configuration.tools.openvpn,
                  "#!/bin/sh\n"
                  "printf 'Enter Auth Username:' >&2; read -r user\n"
                  "printf 'Enter Auth Password:' >&2; read -r pass\n"
                  "echo \"answers: $user/$pass\"\n"
                  "sh ./up.sh\n"
                  "echo 'Initialization Sequence Completed'\n",
                  0755);
    fixture.rebuild();
    Replies replies;
    fixture.helper->runOpenVPN("/usr/sbin/openvpn", fixture.profile.string(), "alice", "pass word", fixture.bundle.string(),
                               replies.channel());
    replies.waitFor(2);
    EXPECT_EQ(replies.kinds(), (Texts{"connected", "ended"}));
    EXPECT_NE(replies.all()[0][1].find("answers: alice/pass word\nadd net 0.0.0.0: gateway \n"), std::string::npos)
        << replies.all()[0][1];
    EXPECT_EQ(replies.all()[0].size(), 2u);
}

TEST(OpenVpnRunner, AProgramThatCannotStartGivesEndedWithTheReason) {
    HelperFixture fixture;
    platform::ScopedServices realLauncher{platform::Services{}};
    fixture.configuration.tools.openvpn = fixture.folder / "no-openvpn-here";
    fixture.rebuild();
    Replies replies;
    fixture.helper->runOpenVPN("/usr/sbin/openvpn", fixture.profile.string(), "alice", "pw", fixture.bundle.string(),
                               replies.channel());
    ASSERT_EQ(replies.kinds(), Texts{"ended"});
    EXPECT_NE(replies.all()[0][1].find("Cannot start " + (fixture.folder / "no-openvpn-here").string()), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_empty(fixture.configuration.runtimeFolder));
}

}  // namespace
