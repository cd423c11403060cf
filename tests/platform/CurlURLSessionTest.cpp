#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/URLError.hpp"
#include "support/Patience.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <future>

using namespace std::chrono_literals;
using corvantis::testbed::TestBackend;
using platform::foundation::CurlURLSession;
using platform::foundation::DomainError;
using platform::foundation::HTTPURLResponse;
using platform::foundation::URLRequest;
namespace URLError = platform::foundation::URLError;

namespace {

struct Outcome {
    std::optional<std::string> data;
    std::optional<HTTPURLResponse> response;
    std::optional<DomainError> error;
    int calls = 0;
};

class CurlURLSessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(backend.start()); }

    // Runs the request and waits for its completion (the transfer itself is real network I/O).
    Outcome run(URLRequest request, const std::shared_ptr<CurlURLSession>& through = nullptr) {
        auto outcome = std::make_shared<Outcome>();
        std::promise<void> done;
        auto task =
            (through ? through : session)->dataTask(std::move(request), [&, outcome](auto data, auto response, auto error) {
                outcome->data = std::move(data);
                outcome->response = std::move(response);
                outcome->error = std::move(error);
                if (++outcome->calls == 1) done.set_value();
            });
        task->resume();
        EXPECT_EQ(done.get_future().wait_for(corvantis::testing::patience(120s)), std::future_status::ready);
        return *outcome;
    }

    URLRequest request(const std::string& path, const std::string& method = "GET") const {
        URLRequest request;
        request.url = backend.url() + path;
        request.httpMethod = method;
        return request;
    }

    TestBackend backend;
    std::shared_ptr<CurlURLSession> session = CurlURLSession::make();
};

TEST_F(CurlURLSessionTest, PostsTheBodyWithItsHeadersAndReadsTheReply) {
    auto post = request("account/oauth/register-device", "POST");
    post.setValue("application/x-www-form-urlencoded", "Content-Type");
    post.setValue("no-cache", "cache-control");
    post.httpBody = "client_id=7e0b3a9c51d24f86b2c9e4a07d6f1b35&description=macos_120726_1005&undefined=";

    const auto outcome = run(post);

    ASSERT_FALSE(outcome.error);
    ASSERT_TRUE(outcome.data);
    EXPECT_NE(outcome.data->find("amember_device_id"), std::string::npos);
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, 200);
    EXPECT_EQ(outcome.response->value("content-type"), "application/json");
    const auto sent = backend.requests().at(0);
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.body, *post.httpBody);
    EXPECT_EQ(sent.header("Cache-Control"), "no-cache");
    EXPECT_FALSE(sent.header("Expect"));
}

TEST_F(CurlURLSessionTest, AnErrorStatusStillDeliversTheBody) {
    backend.enqueueReply("/status", {500, "application/json", R"({"reason":"broken"})"});
    const auto outcome = run(request("status"));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, R"({"reason":"broken"})");
    EXPECT_EQ(outcome.response->statusCode, 500);
}

TEST_F(CurlURLSessionTest, AnEmptyBodyIsDataNotAnError) {
    backend.enqueueReply("/empty", {200, "text/plain", ""});
    const auto outcome = run(request("empty"));
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, std::optional<std::string>(""));
}

TEST_F(CurlURLSessionTest, SilenceLongerThanTheTimeOutEndsTheTransferAsTimedOut) {
    backend.setReplyDelay(30s);
    auto slow = request("account/api2/me");
    slow.timeoutInterval = 1s;
    const auto outcome = run(slow);
    EXPECT_FALSE(outcome.data);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, URLError::timedOut);
    EXPECT_EQ(outcome.error->domain, "NSURLErrorDomain");
    EXPECT_NE(outcome.error->localizedDescription.find("timed out"), std::string::npos);
}

TEST_F(CurlURLSessionTest, ASlowReplyThatIsNeverSilentForLongIsNotTimedOut) {
    // The whole reply takes longer than the time-out, but no gap comes near it, even on a busy machine.
    // Gaps of a sixth of the time-out leave room for a machine busy with other tests. A type
    // the backend does not compress: gzip would hold the bytes back until the end.
    backend.enqueueReply("/trickle", {200, "application/octet-stream", "abcdefgh", 300ms});
    auto slow = request("trickle");
    slow.timeoutInterval = 2s;
    const auto outcome = run(slow);
    EXPECT_EQ(outcome.error, std::nullopt) << outcome.error->code << " " << outcome.error->localizedDescription;
    EXPECT_EQ(outcome.data, "abcdefgh");
}

TEST_F(CurlURLSessionTest, AServerCertificateNobodyTrustsIsRefused) {
    TestBackend untrusted;
    ASSERT_TRUE(untrusted.start(0, TestBackend::Transport::httpsUntrusted));
    URLRequest secure;
    secure.url = untrusted.url() + "account/api2/me";
    ASSERT_TRUE(secure.url.starts_with("https://127.0.0.1:"));
    const auto outcome = run(secure);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, URLError::serverCertificateUntrusted);
    EXPECT_FALSE(outcome.data);
    EXPECT_TRUE(untrusted.requests().empty());  // nothing was sent over the untrusted connection
}

TEST_F(CurlURLSessionTest, AClosedPortCannotBeConnectedTo) {
    const auto url = backend.url();
    backend.stop();
    URLRequest closed;
    closed.url = url + "account/api2/me";
    const auto outcome = run(closed);
    EXPECT_FALSE(outcome.data);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, URLError::cannotConnectToHost);
}

TEST_F(CurlURLSessionTest, RequestsThatCannotBeSentFailWithoutTouchingTheNetwork) {
    const std::vector<std::pair<std::string, long>> cases{
        {"http://example.invalid/account", URLError::appTransportSecurityRequiresSecureConnection},
        {"http://10.1.2.3/", URLError::appTransportSecurityRequiresSecureConnection},
        {"ftp://127.0.0.1/file", URLError::unsupportedURL},
        {"not a url", URLError::badURL},
        {"https:///no-host", URLError::badURL},
    };
    for (const auto& [url, code] : cases) {
        URLRequest refused;
        refused.url = url;
        const auto outcome = run(refused);
        ASSERT_TRUE(outcome.error) << url;
        EXPECT_EQ(outcome.error->code, code) << url;
        EXPECT_FALSE(outcome.data) << url;
    }
}

TEST_F(CurlURLSessionTest, CancellingCompletesOnceWithTheCancelledCode) {
    backend.setReplyDelay(30s);
    auto calls = std::make_shared<std::atomic<int>>(0);
    std::promise<DomainError> cancelled;
    auto task = session->dataTask(request("account/api2/me"), [&, calls](auto, auto, auto error) {
        if (++*calls == 1) cancelled.set_value(error.value_or(DomainError{}));
    });
    task->resume();
    task->cancel();
    task->cancel();
    auto future = cancelled.get_future();
    ASSERT_EQ(future.wait_for(corvantis::testing::patience(120s)), std::future_status::ready);
    EXPECT_EQ(future.get().code, URLError::cancelled);
    session.reset();  // waits for the transfer thread, so a late second completion would show now
    EXPECT_EQ(calls->load(), 1);
}

TEST_F(CurlURLSessionTest, CookiesAreNeitherSentBackNorKept) {
    run(request("account/api2/me"));
    run(request("account/api2/me"));
    const auto requests = backend.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].header("Cookie"));
}

TEST_F(CurlURLSessionTest, RepliesLargerThanTheSessionsOrTheRequestsLimitAreRefused) {
    auto limited = request("large");
    limited.maximumResponseSize = 1024;
    auto generous = request("large");
    generous.maximumResponseSize = 8192;  // no request takes more than its session allows
    const auto small = CurlURLSession::make({.maximumResponseSize = 1024});
    const std::vector<std::pair<URLRequest, std::shared_ptr<CurlURLSession>>> cases{
        {request("large"), small}, {limited, session}, {generous, small}};
    for (const auto& [large, through] : cases) {
        backend.enqueueReply("/large", {200, "text/plain", std::string(4096, 'x')});
        const auto outcome = run(large, through);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, URLError::dataLengthExceedsMaximum);
        EXPECT_FALSE(outcome.data);
    }
}

// Follows a transfer piece by piece, as a delegate-driven task reports it.
class EventLog final : public platform::foundation::URLSessionDataDelegate {
public:
    void didSendBodyData(long long, long long total, long long expected) override {
        add("sent " + std::to_string(total) + "/" + std::to_string(expected));
    }
    void didReceiveResponse(const HTTPURLResponse& response) override {
        add("response " + std::to_string(response.statusCode) + " " + std::to_string(response.expectedContentLength()));
    }
    void didReceiveData(std::string data) override {
        std::lock_guard lock(mutex_);
        body_ += data;
        if (lines_.empty() || lines_.back() != "data") lines_.push_back("data");
    }
    void didCompleteWithError(std::optional<DomainError> error) override {
        add(error ? "failed " + std::to_string(error->code) : "complete");
        done_.set_value();
    }

    std::vector<std::string> wait() {
        EXPECT_EQ(done_.get_future().wait_for(corvantis::testing::patience(120s)), std::future_status::ready);
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::string body() {
        std::lock_guard lock(mutex_);
        return body_;
    }

private:
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        // Upload progress comes in several steps; the last one is what matters.
        if (line.starts_with("sent") && !lines_.empty() && lines_.back().starts_with("sent")) lines_.pop_back();
        lines_.push_back(std::move(line));
    }

    std::mutex mutex_;
    std::vector<std::string> lines_;
    std::string body_;
    std::promise<void> done_;
};

TEST_F(CurlURLSessionTest, ADelegateHearsTheUploadTheHeadOnceAndTheBodyInPieces) {
    const std::string reply(300000, 'r');
    backend.enqueueReply("/target", {200, "application/octet-stream", reply});
    auto post = request("target", "POST");
    post.httpBody = std::string(70000, 'p');
    const auto log = std::make_shared<EventLog>();
    session->dataTask(std::move(post), log)->resume();
    EXPECT_EQ(log->wait(), (std::vector<std::string>{"sent 70000/70000", "response 200 300000", "data", "complete"}));
    EXPECT_EQ(log->body(), reply);
}

TEST_F(CurlURLSessionTest, ADelegateHearsOnlyTheHeadOfTheResponseARedirectLeadsTo) {
    backend.enqueueReply("/redirected", {302, "text/plain", "moved", {}, {{"Location", "/target"}}});
    backend.enqueueReply("/target", {200, "application/octet-stream", "arrived"});  // not compressed: the length is the body's
    const auto log = std::make_shared<EventLog>();
    session->dataTask(request("redirected"), log)->resume();
    EXPECT_EQ(log->wait(), (std::vector<std::string>{"response 200 7", "data", "complete"}));
    EXPECT_EQ(log->body(), "arrived");
}

TEST_F(CurlURLSessionTest, ADelegateHearsTheFailureLast) {
    backend.enqueueReply("/cut", {200, "text/plain", "0123456789", {}, {}, 4});
    const auto log = std::make_shared<EventLog>();
    session->dataTask(request("cut"), log)->resume();
    const auto lines = log->wait();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "response 200 10");
    EXPECT_EQ(lines.back(), "failed " + std::to_string(URLError::networkConnectionLost));
}

TEST(HTTPURLResponse, TheExpectedLengthIsTheAnnouncedOneOrMinusOne) {
    const std::vector<std::pair<std::vector<std::pair<std::string, std::string>>, long long>> cases{
        {{{"content-length", "120"}}, 120}, {{}, -1}, {{{"Content-Length", "abc"}}, -1}, {{{"Content-Length", "-4"}}, -1},
        {{{"Content-Length", "12 "}}, -1},
    };
    for (const auto& [headers, expected] : cases)
        EXPECT_EQ((HTTPURLResponse{"http://x/", 200, headers}.expectedContentLength()), expected);
}

TEST(CurlURLSessionErrors, TransferResultsMapToUrlErrors) {
    const std::vector<std::tuple<CURLcode, bool, long>> cases{
        {CURLE_OPERATION_TIMEDOUT, true, URLError::timedOut},
        {CURLE_COULDNT_RESOLVE_HOST, true, URLError::cannotFindHost},
        {CURLE_COULDNT_RESOLVE_HOST, false, URLError::notConnectedToInternet},
        {CURLE_COULDNT_CONNECT, true, URLError::cannotConnectToHost},
        {CURLE_COULDNT_CONNECT, false, URLError::notConnectedToInternet},
        {CURLE_RECV_ERROR, true, URLError::networkConnectionLost},
        {CURLE_GOT_NOTHING, true, URLError::networkConnectionLost},
        {CURLE_PEER_FAILED_VERIFICATION, true, URLError::serverCertificateUntrusted},
        {CURLE_SSL_CONNECT_ERROR, true, URLError::secureConnectionFailed},
        {CURLE_TOO_MANY_REDIRECTS, true, URLError::httpTooManyRedirects},
        {CURLE_OUT_OF_MEMORY, true, URLError::unknown},
    };
    for (const auto& [code, online, expected] : cases) {
        const auto error = CurlURLSession::errorForTransferResult(code, online);
        EXPECT_EQ(error.code, expected) << "libcurl code " << code;
        EXPECT_EQ(error.domain, "NSURLErrorDomain");
        EXPECT_FALSE(error.localizedDescription.empty());
    }
    EXPECT_NE(CurlURLSession::errorForTransferResult(CURLE_OPERATION_TIMEDOUT, true).localizedDescription.find("timed out"),
              std::string::npos);
}

}  // namespace
