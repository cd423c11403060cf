#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "platform/xpc/XpcClientConnection.hpp"
#include "platform/xpc/XpcListener.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperFixture.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "testbed/helper/ReachableCopy.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <future>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testing::HelperFixture;
using corvantis::testing::ReplyStream;
using namespace std::chrono_literals;
namespace HelperWireCodec = corvantis::helper::HelperWireCodec;
namespace xpc = platform::xpc;

namespace {

constexpr uid_t nobody = 65534;

struct SocketFixture : HelperFixture {
    std::filesystem::path socket = folder / "helper.sock";
    std::unique_ptr<xpc::XpcListener> listener;

    SocketFixture() {
        ::chmod(folder.path().c_str(), 0755);
        // Route lines run a program the tests can hold and script.
        configuration.tools.ip = "/sbin/ip";
        rebuild();
        listen();
    }
    void listen() {
        listener.reset();
        listener = std::move(xpc::XpcListener::listen(socket).value());
        listener->resume(helper);
    }

    // One call from this process; the first reply's text, or no value when none came.
    std::optional<nlohmann::json> call(const HelperCall& call) const {
        auto connection = xpc::XpcClientConnection::connect(socket);
        EXPECT_TRUE(connection);
        EXPECT_TRUE(connection.value().send(HelperWireCodec::encodeCall(call)));
        auto reply = connection.value().receiveFirstReply(corvantis::testing::patience(60s));
        EXPECT_TRUE(reply);
        return reply ? reply.value() : std::nullopt;
    }
};

// The test client in a process of its own, as `uid` when that is not the test's own user.
platform::foundation::FinishedProcess runClient(const std::filesystem::path& socket, const HelperCall& call, uid_t uid) {
    platform::foundation::ProcessRequest request{
        CORVANTIS_HELPER_TEST_CLIENT, {socket.string(), HelperWireCodec::encodeCall(call).dump()}, {}};
    if (uid != ::geteuid()) {
        // A copy beside the socket: the build tree may lie where only root can reach.
        const auto copy = corvantis::testbed::ReachableCopy::in(socket.parent_path() / "programs");
        const auto client = copy ? copy.value().program(request.program, request.program.filename()) : copy.error();
        EXPECT_TRUE(client) << client.error().message;
        const std::string id = std::to_string(uid);
        request.arguments.insert(request.arguments.begin(), {"--reuid=" + id, "--regid=" + id, "--clear-groups",
                                                             client ? client.value().string() : request.program.string()});
        request.program = "/usr/bin/setpriv";
    }
    return corvantis::testing::runProgram(request);
}

TEST(CorvantisHelperOverSocket, AnAllowedClientProcessGetsTheFirstReply) {
    SocketFixture fixture;
    fixture.launcher->script("ip", {{"first", "second"}, {}, 0});
    const auto run = runClient(fixture.socket, HelperCall::runCommand("route -n add default 192.168.1.1", true), ::geteuid());
    EXPECT_EQ(run.exit.exitStatus, 0);
    EXPECT_EQ(run.standardOutput, "{\"reply\":\"first\"}\n");
}

TEST(CorvantisHelperOverSocket, APeerWithADisallowedUidGetsNothingAndNothingRuns) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the client as another user with setpriv";
    SocketFixture fixture;
    const auto run = runClient(fixture.socket, HelperCall::runCommand("route -n add default 192.168.1.1", true), nobody);
    EXPECT_NE(run.exit.exitStatus, 0);
    EXPECT_EQ(run.standardOutput, "");
    fixture.listener->invalidate();
    EXPECT_TRUE(fixture.launcher->launches().empty());
    EXPECT_TRUE(fixture.log->mentions("Refused a connection from uid 65534"));
}

TEST(CorvantisHelperOverSocket, AFloodOfRefusedConnectionsWritesTwoLines) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    SocketFixture fixture;
    const auto address = xpc::unixSocketAddress(fixture.socket).value();
    constexpr int attempts = 10'000;
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls that are safe in the child of a process with threads.
        if (::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0) ::_exit(2);
        for (int attempt = 0; attempt < attempts; ++attempt) {
            const int connection = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (connection < 0 || ::connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
                ::_exit(3);
            }
            ::close(connection);
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // Connections are taken in turn: once this one is served, every refused one has been seen.
    fixture.call(HelperCall::runCommand("route -n add default 192.168.1.1", true));
    fixture.listener->invalidate();

    std::vector<std::string> aboutNobody;
    for (const auto& line : fixture.log->lines()) {
        if (line.find("uid 65534") != std::string::npos) aboutNobody.push_back(line);
    }
    const std::string reason = ": the service does not serve that user";
    EXPECT_EQ(aboutNobody, (std::vector<std::string>{"Refused a connection from uid 65534" + reason,
                                                     "Refused 9999 more connections from uid 65534 within 60 s" + reason}));
    const auto lines = fixture.log->lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "new incoming connection"), 1) << "only the served call's";
    std::printf("helper log lines for %d refused connections: %zu\n", attempts, aboutNobody.size());
}

TEST(CorvantisHelperOverSocket, AConfiguredUserIsServedAndActsAsItself) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the client as another user with setpriv";
    SocketFixture fixture;
    fixture.configuration.allowedUids = {nobody};
    fixture.rebuild();
    fixture.listen();
    const auto run = runClient(fixture.socket,
                               HelperCall::runCommand("osascript -e 'tell application \"System Events\" to delete "
                                                      "login item \"Corvantis VPN\"'",
                                                      true),
                               nobody);
    EXPECT_EQ(run.exit.exitStatus, 0);
    EXPECT_EQ(*fixture.accountsAsked, (std::vector<uid_t>{nobody}));
}

TEST(CorvantisHelperOverSocket, TwoClientsAreServedAtTheSameTime) {
    SocketFixture fixture;
    // The first route command can only finish once the second one has started.
    std::promise<void> secondStarted;
    auto started = secondStarted.get_future().share();
    std::atomic<int> launches{0};
    fixture.launcher->onLaunch([&, started](const platform::foundation::ProcessRequest&) {
        if (launches.fetch_add(1) == 0) {
            EXPECT_EQ(started.wait_for(corvantis::testing::patience(60s)), std::future_status::ready)
                << "the second call waited for the first";
        } else {
            secondStarted.set_value();
        }
    });
    auto first = std::async(std::launch::async, [&] {
        return fixture.call(HelperCall::runCommand("route -n add -net 203.0.113.7 192.168.1.1", true));
    });
    auto second = std::async(std::launch::async, [&] {
        return fixture.call(HelperCall::runCommand("route -n add -net 203.0.113.8 192.168.1.1", true));
    });
    EXPECT_EQ(first.get(), (nlohmann::json{{"reply", ""}}));
    EXPECT_EQ(second.get(), (nlohmann::json{{"reply", ""}}));
    EXPECT_EQ(fixture.launcher->launches().size(), 2u);
}

TEST(CorvantisHelperOverSocket, CallsWithoutReplyOrThatNeverReplyCloseWithoutAReply) {
    SocketFixture fixture;
    EXPECT_EQ(fixture.call(HelperCall::toggleIpv6(true, true)), std::nullopt);
    EXPECT_EQ(fixture.call(HelperCall::runCommand("route -n add default 192.168.1.1", false)), std::nullopt);
    EXPECT_EQ(fixture.launcher->launches().size(), 1u);
    EXPECT_EQ(fixture.call(HelperCall::runCommand("reboot", true)), (nlohmann::json{{"reply", ""}}));
}

TEST(CorvantisHelperOverSocket, RunsPastTheBoundAreRefusedAtOnceUntilOneHasEnded) {
    SocketFixture fixture;
    fixture.launcher->hold("openvpn");
    std::mutex mutex;
    std::condition_variable launched;
    std::size_t launches = 0;
    fixture.launcher->onLaunch([&](const platform::foundation::ProcessRequest&) {
        std::lock_guard lock(mutex);
        ++launches;
        launched.notify_all();
    });
    // A run is listed before its program starts: once started, it counts.
    const auto launchesReach = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        return launched.wait_for(lock, 30s, [&] { return launches >= count; });
    };
    const auto run =
        HelperCall::runOpenVPN("/usr/sbin/openvpn", fixture.profile.string(), "alice", "pw", fixture.bundle.string(), true);
    constexpr auto bound = corvantis::helper::OpenVpnRunner::maximumRuns;
    std::vector<std::unique_ptr<ReplyStream>> going;
    for (std::size_t index = 0; index < bound; ++index) {
        going.push_back(std::make_unique<ReplyStream>(fixture.socket, run));
        ASSERT_TRUE(launchesReach(index + 1));
    }
    const auto refused = corvantis::testing::callUntilDone(fixture.socket, run);
    EXPECT_EQ(refused,
              (std::vector<nlohmann::json>{{{"reply",
                                             {"ended",
                                              "OpenVPN ended with output:4 OpenVPN runs are going already; disconnect ends them "
                                              "before another can start\n"}}}}));
    EXPECT_EQ(fixture.launcher->launches().size(), bound);

    fixture.launcher->held().front()->exit(1);
    EXPECT_EQ(going.front()->next().value()["reply"][0], "ended");
    going.push_back(std::make_unique<ReplyStream>(fixture.socket, run));
    EXPECT_TRUE(launchesReach(bound + 1)) << "a run that ended leaves room for the next";
    for (const auto& process : fixture.launcher->held()) process->exit(0, SIGTERM);
}

TEST(CorvantisHelperOverSocket, ARefusedRunAndADisconnectWithoutL2tpLogWhatHappenedOnce) {
    SocketFixture fixture;
    EXPECT_EQ(fixture
                  .call(HelperCall::runOpenVPN("/usr/sbin/openvpn", (fixture.folder / "none" / "config.ovpn").string(), "u", "p",
                                               fixture.bundle.string(), true))
                  .value()["reply"][0],
              "ended");
    EXPECT_EQ(fixture.call(HelperCall::disconnect()), std::nullopt);
    EXPECT_EQ(fixture.call(HelperCall::runCommand("route -n add default 192.168.1.1", true)), (nlohmann::json{{"reply", ""}}));
    fixture.listener->invalidate();
    std::vector<std::string> lines;
    for (const auto& line : fixture.log->lines()) {
        if (line != "new incoming connection") lines.push_back(line.substr(0, line.find(':')));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"OpenVPN not started", "terminating openvpn process", "Disconnecting L2TP",
                                               "No L2TP service to disconnect", "Running /sbin/ip"}));
}

TEST(CorvantisHelperOverSocket, PasswordsInRequestsNeverReachTheLog) {
    SocketFixture fixture;
    // The L2TP request answers at once when it cannot open the network preferences.
    fixture.networkFaults->fail(platform::network::NetworkStep::createPreferences);
    const std::string password = "hunter2-very-secret";
    fixture.call(HelperCall::runOpenVPN("/r/openvpn", "/r/config.ovpn", "user@example.com", password, "/r", true));
    fixture.call(HelperCall::connectToL2TPServer("vpn.example.com", "user", password, password, true));
    auto malformed = HelperWireCodec::encodeCall(HelperCall::runOpenVPN("/r/openvpn", "/r/c", "u", password, "/r", true));
    malformed["arguments"].push_back("extra");
    auto connection = xpc::XpcClientConnection::connect(fixture.socket);
    ASSERT_TRUE(connection.value().send(malformed));
    EXPECT_EQ(connection.value().receiveFirstReply(corvantis::testing::patience(60s)).value(), std::nullopt);
    fixture.listener->invalidate();
    EXPECT_TRUE(fixture.log->mentions("Refused a request"));
    for (const auto& line : fixture.log->lines()) EXPECT_EQ(line.find(password), std::string::npos) << line;
}

}  // namespace
