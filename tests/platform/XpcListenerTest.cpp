#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/ServiceSocketPath.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "platform/xpc/XpcClientConnection.hpp"
#include "platform/xpc/XpcListener.hpp"
#include "support/Patience.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sys/socket.h>
#include <unistd.h>

using corvantis::testing::TemporaryFolder;
using namespace std::chrono_literals;
namespace xpc = platform::xpc;

namespace {

// Answers every message with the replies the test asks for and records what it saw.
class ScriptedDelegate final : public xpc::XpcListenerDelegate {
public:
    bool accept = true;
    std::vector<nlohmann::json> replies{nlohmann::json{{"reply", "one"}}};
    // Runs after the first reply, before the rest.
    std::function<void()> afterFirstReply;

    bool shouldAcceptNewConnection(const xpc::PeerCredentials& peer) override {
        std::lock_guard lock(mutex_);
        peers_.push_back(peer);
        return accept;
    }
    void didReceiveMessage(const std::shared_ptr<xpc::XpcPeerConnection>& connection, nlohmann::json message) override {
        std::vector<bool> delivered;
        const bool isCurrent = xpc::XpcPeerConnection::current() == connection;
        for (std::size_t index = 0; index < replies.size(); ++index) {
            delivered.push_back(connection->sendReply(replies[index]));
            if (index == 0 && afterFirstReply) afterFirstReply();
        }
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
        deliveries_.push_back(delivered);
        currentDuringCall_ = isCurrent;
        changed_.notify_all();
    }
    void listenerDidReport(const std::string& problem) override {
        std::lock_guard lock(mutex_);
        problems_.push_back(problem);
        changed_.notify_all();
    }

    // Waits (bounded) until `count` messages or problems have arrived.
    bool waitForMessages(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, corvantis::testing::patience(60s), [&] { return messages_.size() >= count; });
    }
    bool waitForProblems(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, corvantis::testing::patience(60s), [&] { return problems_.size() >= count; });
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<xpc::PeerCredentials> peers_;
    std::vector<nlohmann::json> messages_;
    std::vector<std::vector<bool>> deliveries_;
    std::vector<std::string> problems_;
    bool currentDuringCall_ = false;
};

struct ListenerFixture {
    TemporaryFolder folder;
    std::filesystem::path socket = folder / "run" / "com.corvantis.Test.sock";
    std::shared_ptr<ScriptedDelegate> delegate = std::make_shared<ScriptedDelegate>();
    std::unique_ptr<xpc::XpcListener> listener;

    ListenerFixture() {
        auto made = xpc::XpcListener::listen(socket);
        EXPECT_TRUE(made) << (made ? "" : made.error().message);
        if (made) listener = std::move(made.value());
    }
    void resume() { listener->resume(delegate); }
};

xpc::XpcClientConnection connectTo(const std::filesystem::path& socket) {
    auto connection = xpc::XpcClientConnection::connect(socket);
    EXPECT_TRUE(connection) << (connection ? "" : connection.error().message);
    return std::move(connection.value());
}

TEST(XpcListener, TheClientKeepsTheFirstReplyAndLaterRepliesStopWithoutStoppingTheWork) {
    ListenerFixture fixture;
    std::promise<void> clientClosed;
    auto closed = clientClosed.get_future().share();
    fixture.delegate->replies = {{{"reply", "one"}}, {{"reply", "two"}}, {{"reply", "three"}}};
    fixture.delegate->afterFirstReply = [closed] { closed.wait_for(corvantis::testing::patience(60s)); };
    fixture.resume();

    auto connection = connectTo(fixture.socket);
    ASSERT_TRUE(connection.send({{"selector", "work"}}));
    auto reply = connection.receiveFirstReply(corvantis::testing::patience(60s));
    clientClosed.set_value();
    ASSERT_TRUE(reply && reply.value());
    EXPECT_EQ(reply.value()->at("reply"), "one");

    ASSERT_TRUE(fixture.delegate->waitForMessages(1));
    std::lock_guard lock(fixture.delegate->mutex_);
    EXPECT_EQ(fixture.delegate->deliveries_[0], (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(fixture.delegate->currentDuringCall_);
    EXPECT_EQ(fixture.delegate->peers_[0].uid, ::geteuid());
    EXPECT_EQ(fixture.delegate->peers_[0].pid, ::getpid());
}

TEST(XpcListener, EveryReplyIsAFrameOfItsOwnOnTheWire) {
    ListenerFixture fixture;
    fixture.delegate->replies = {{{"reply", "one"}}, {{"reply", "two"}}};
    fixture.resume();
    auto address = xpc::unixSocketAddress(fixture.socket);
    platform::foundation::FileDescriptor raw(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(::connect(raw.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()), 0);
    ASSERT_TRUE(xpc::writeMessage(raw.get(), {{"selector", "work"}}));
    std::vector<std::string> received;
    for (;;) {
        auto message = xpc::readMessage(raw.get());
        ASSERT_TRUE(message);
        if (!message.value()) break;
        received.push_back(message.value()->at("reply"));
    }
    EXPECT_EQ(received, (std::vector<std::string>{"one", "two"}));
}

TEST(XpcListener, ARefusedPeerIsClosedBeforeItsRequestIsRead) {
    ListenerFixture fixture;
    fixture.delegate->accept = false;
    fixture.resume();
    auto connection = connectTo(fixture.socket);
    // The request may or may not fit into the socket before the close: either way, no reply.
    (void)connection.send({{"selector", "work"}});
    auto reply = connection.receiveFirstReply(corvantis::testing::patience(60s));
    EXPECT_TRUE(!reply || !reply.value());
    fixture.listener->invalidate();
    EXPECT_TRUE(fixture.delegate->messages_.empty());
    EXPECT_EQ(fixture.delegate->peers_.size(), 1u);
}

TEST(XpcListener, AnOversizedFrameClosesTheConnectionWithoutAMessage) {
    ListenerFixture fixture;
    fixture.resume();
    auto address = xpc::unixSocketAddress(fixture.socket);
    platform::foundation::FileDescriptor raw(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    ASSERT_EQ(::connect(raw.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()), 0);
    const std::uint32_t tooLong = xpc::maximumFrameLength + 1;
    const char header[4] = {static_cast<char>(tooLong >> 24), static_cast<char>(tooLong >> 16), static_cast<char>(tooLong >> 8),
                            static_cast<char>(tooLong)};
    ASSERT_EQ(::send(raw.get(), header, 4, MSG_NOSIGNAL), 4);
    auto reply = xpc::readMessage(raw.get());
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply.value());
    ASSERT_TRUE(fixture.delegate->waitForProblems(1));
    EXPECT_NE(fixture.delegate->problems_[0].find("over the limit"), std::string::npos);
    EXPECT_TRUE(fixture.delegate->messages_.empty());
}

TEST(XpcListener, ConnectionsAreServedAtTheSameTime) {
    ListenerFixture fixture;
    // The first call only finishes once the second one is being served.
    std::promise<void> secondArrived;
    auto arrived = secondArrived.get_future().share();
    std::atomic<int> calls{0};
    fixture.delegate->afterFirstReply = [&, arrived] {
        if (calls.fetch_add(1) == 0) {
            EXPECT_EQ(arrived.wait_for(corvantis::testing::patience(60s)), std::future_status::ready);
        } else {
            secondArrived.set_value();
        }
    };
    fixture.resume();
    auto first = connectTo(fixture.socket);
    auto second = connectTo(fixture.socket);
    ASSERT_TRUE(first.send({{"n", 1}}));
    ASSERT_TRUE(second.send({{"n", 2}}));
    EXPECT_TRUE(first.receiveFirstReply(corvantis::testing::patience(60s)));
    EXPECT_TRUE(second.receiveFirstReply(corvantis::testing::patience(60s)));
    ASSERT_TRUE(fixture.delegate->waitForMessages(2));
}

TEST(XpcListener, OneUserCannotHoldMoreThanItsShareOfConnectionsAndASecondResumeChangesNothing) {
    ListenerFixture fixture;
    fixture.resume();
    auto late = std::make_shared<ScriptedDelegate>();
    fixture.listener->resume(late);
    ASSERT_TRUE(late->waitForProblems(1));

    // Connections that never send a request hold their handlers until they close.
    std::vector<xpc::XpcClientConnection> idle;
    for (int i = 0; i < xpc::XpcListener::maximumConnectionsPerUser; ++i) idle.push_back(connectTo(fixture.socket));
    auto refused = connectTo(fixture.socket);
    ASSERT_TRUE(fixture.delegate->waitForProblems(1));
    EXPECT_NE(fixture.delegate->problems_[0].find("too many connections"), std::string::npos);
    (void)refused.send({{"selector", "work"}});
    auto nothing = refused.receiveFirstReply(corvantis::testing::patience(60s));
    EXPECT_TRUE(!nothing || !nothing.value());

    idle.clear();
    // The share comes back once the idle ones have gone.
    std::optional<std::string> reply;
    for (int attempt = 0; attempt < 100 && !reply; ++attempt) {
        auto again = connectTo(fixture.socket);
        (void)again.send({{"selector", "work"}});
        auto answered = again.receiveFirstReply(corvantis::testing::patience(60s));
        if (answered && answered.value()) reply = answered.value()->at("reply").get<std::string>();
    }
    EXPECT_EQ(reply, "one");
}

TEST(XpcListener, ASocketFileIsReplacedOnlyWhenNobodyServesIt) {
    TemporaryFolder folder;
    const auto path = folder / "helper.sock";
    {
        auto first = xpc::XpcListener::listen(path);
        ASSERT_TRUE(first);
        auto second = xpc::XpcListener::listen(path);
        ASSERT_FALSE(second);
        EXPECT_EQ(second.error().code, EADDRINUSE);
        // A crashed listener leaves its file behind.
        std::filesystem::path kept = folder / "kept.sock";
        std::filesystem::rename(path, kept);
        first.value().reset();
        std::filesystem::rename(kept, path);
    }
    EXPECT_TRUE(std::filesystem::is_socket(path));
    auto replacement = xpc::XpcListener::listen(path);
    ASSERT_TRUE(replacement) << replacement.error().message;
    replacement.value().reset();
    EXPECT_FALSE(std::filesystem::exists(path));

    std::ofstream(folder / "plain") << "data";
    auto blocked = xpc::XpcListener::listen(folder / "plain");
    ASSERT_FALSE(blocked);
    EXPECT_EQ(blocked.error().code, EEXIST);
}

TEST(ServiceSocketPath, TheEnvironmentOverridesTheDefault) {
    ::unsetenv("CORVANTIS_HELPER_SOCKET");
    EXPECT_EQ(xpc::socketPathForService("com.corvantis.CorvantisHelper"), "/run/corvantis/com.corvantis.CorvantisHelper.sock");
    ::setenv("CORVANTIS_HELPER_SOCKET", "/tmp/elsewhere.sock", 1);
    EXPECT_EQ(xpc::socketPathForService("com.corvantis.CorvantisHelper"), "/tmp/elsewhere.sock");
    ::unsetenv("CORVANTIS_HELPER_SOCKET");
}

}  // namespace
