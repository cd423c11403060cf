#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/URLConnection.hpp"
#include "platform/foundation/URLError.hpp"
#include "support/Patience.hpp"
#include "support/VirtualTime.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using corvantis::testbed::TestBackend;
using platform::foundation::DomainError;
using platform::foundation::HTTPURLResponse;
using platform::foundation::URLAuthenticationChallenge;
using platform::foundation::URLConnection;
using platform::foundation::URLRequest;
namespace URLError = platform::foundation::URLError;

namespace {

// Writes down every event as a line, and answers challenges as told.
class RecordingDelegate final : public platform::foundation::URLConnectionDelegate {
public:
    void connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& response) override {
        events.push_back("response " + std::to_string(response.statusCode));
    }
    void connectionDidReceiveData(URLConnection&, const std::string& data) override { body += data; }
    void connectionDidSendBodyData(URLConnection&, long long, long long total, long long expected) override {
        sent = {total, expected};
    }
    void connectionDidFailWithError(URLConnection&, const DomainError& error) override {
        events.push_back("failed " + std::to_string(error.code));
        ended = true;
    }
    void connectionDidFinishLoading(URLConnection&) override {
        events.push_back("finished");
        ended = true;
    }
    void connectionDidReceiveAuthenticationChallenge(URLConnection&, const URLAuthenticationChallenge& challenge) override {
        events.push_back("challenge " + std::to_string(challenge.previousFailureCount));
        if (answer) answer(challenge);
    }

    std::function<void(const URLAuthenticationChallenge&)> answer;
    std::vector<std::string> events;
    std::string body;
    std::pair<long long, long long> sent{0, 0};
    bool ended = false;
};

class URLConnectionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(backend.start()); }

    static platform::Services withSession(std::shared_ptr<platform::foundation::URLSession> session) {
        platform::Services services;
        services.urlSessionOverride = std::move(session);
        return services;
    }

    std::shared_ptr<URLConnection> connection(const std::string& path, std::optional<std::string> body = std::nullopt) {
        URLRequest request;
        request.url = backend.url() + path;
        if (body) {
            request.httpMethod = "POST";
            request.httpBody = std::move(body);
        }
        return URLConnection::make(std::move(request), delegate);
    }

    bool ended() {
        return time.mainQueue().runUntil([&] { return delegate->ended; }, corvantis::testing::patience(120s));
    }

    TestBackend backend;
    corvantis::testing::VirtualTime time{withSession(platform::foundation::CurlURLSession::make())};
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(URLConnectionTest, NothingIsSentBeforeTheStartAndTheEventsComeInOrder) {
    backend.enqueueReply("/upload", {201, "text/plain", "stored"});
    const auto made = connection("upload", std::string(5000, 'b'));
    time.mainQueue().runUntil([] { return false; }, 50ms);
    EXPECT_TRUE(backend.requests().empty());

    made->start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"response 201", "finished"}));
    EXPECT_EQ(delegate->body, "stored");
    EXPECT_EQ(delegate->sent, (std::pair<long long, long long>{5000, 5000}));
    made->start();
    time.mainQueue().runUntil([] { return false; }, 50ms);
    EXPECT_EQ(backend.requests().size(), 1u);
}

TEST_F(URLConnectionTest, ACancelledConnectionSaysNothingMore) {
    backend.setReplyDelay(300ms);
    const auto made = connection("slow");
    made->start();
    made->cancel();
    made->cancel();
    time.mainQueue().runUntil([] { return false; }, 600ms);
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_FALSE(delegate->ended);
}

TEST_F(URLConnectionTest, AConnectionWhoseDelegateIsGoneSendsNothing) {
    const auto made = connection("nobody");
    delegate.reset();
    made->start();
    time.mainQueue().runUntil([] { return false; }, 100ms);
    EXPECT_TRUE(backend.requests().empty());
}

TEST_F(URLConnectionTest, ARefusedCredentialIsChallengedAgainWithItsCount) {
    for (int refusal = 0; refusal < 2; ++refusal) {
        backend.enqueueReply("/private", {401, "text/plain", "no", {}, {{"WWW-Authenticate", "Basic realm=\"files\""}}});
    }
    backend.enqueueReply("/private", {200, "text/plain", "granted"});
    delegate->answer = [](const URLAuthenticationChallenge& challenge) {
        challenge.sender->useCredential({"user", challenge.previousFailureCount == 0 ? "wrong" : "right"}, challenge);
    };
    connection("private")->start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"challenge 0", "challenge 1", "response 200", "finished"}));
    EXPECT_EQ(delegate->body, "granted");
    const auto requests = backend.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].header("Authorization"));
    EXPECT_EQ(requests[2].header("Authorization"), "Basic dXNlcjpyaWdodA==");
}

TEST_F(URLConnectionTest, A401WithoutABasicChallengeIsAnOrdinaryResponse) {
    backend.enqueueReply("/private", {401, "text/plain", "token expired", {}, {{"WWW-Authenticate", "Bearer"}}});
    connection("private")->start();
    ASSERT_TRUE(ended());
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"response 401", "finished"}));
}

}  // namespace
