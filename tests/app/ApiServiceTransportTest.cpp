#include "app/ErrorString.hpp"
#include "app/ProfileReply.hpp"
#include "fixtures/AllocationMeter.hpp"
#include "fixtures/ApiServiceTestAccess.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/URLError.hpp"
#include "testbed/backend/BackendConfiguration.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::ApiService;
using corvantis::ApiServiceTestAccess;
using corvantis::ErrorString;
using corvantis::testbed::TestBackend;
using corvantis::testing::AppTestEnvironment;
using corvantis::testing::FakeURLSession;
using corvantis::testing::LoopbackBackend;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const std::string maintenance(rawValue(ErrorString::maintenance));
const std::string checkInternet(rawValue(ErrorString::checkInternet));

struct Delivery {
    bool success = false;
    std::string message;
    json jsonData;
    int calls = 0;
};

// Sends a GET through the transport and runs the main queue until it is delivered.
Delivery get(AppTestEnvironment& environment, const std::string& path, const ApiService::Headers& headers = {}) {
    auto delivery = std::make_shared<Delivery>();
    ApiServiceTestAccess::callRequest(ApiService::apiUrl() + path, ApiService::HttpMethod::GET, headers, std::nullopt,
                                      std::nullopt, [delivery](bool success, const std::string& message, const json& jsonData) {
                                          delivery->success = success;
                                          delivery->message = message;
                                          delivery->jsonData = jsonData;
                                          ++delivery->calls;
                                      });
    EXPECT_EQ(delivery->calls, 0) << "delivered before the call returned";
    EXPECT_TRUE(environment.runMainQueueUntil([&] { return delivery->calls > 0; }));
    environment.runMainQueue();
    return *delivery;
}

// The bounds of every request but the profile's, as a test sets them, for as long as it runs.
class RequestBoundsForTest {
public:
    explicit RequestBoundsForTest(ApiService::RequestBounds bounds) { ApiService::requestBounds = bounds; }
    ~RequestBoundsForTest() { ApiService::requestBounds = saved_; }
    RequestBoundsForTest(const RequestBoundsForTest&) = delete;
    RequestBoundsForTest& operator=(const RequestBoundsForTest&) = delete;

private:
    const ApiService::RequestBounds saved_ = ApiService::requestBounds;
};

struct ReplyCase {
    const char* what;
    int status;
    std::string contentType;
    std::string body;
    bool success;
    std::string message;
    bool keepsObject;
};

TEST(ApiServiceTransport, ClassifiesRepliesByTheirBodyAlone) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    const std::vector<ReplyCase> cases{
        {"an object with other keys", 200, "application/json", R"({"data":{"id":1}})", true, "", true},
        {"HTTP 500 with a good body", 500, "application/json", R"({"data":"fine"})", true, "", true},
        {"only the key message", 200, "application/json", R"({"message":"Unregistered device"})", false, "Unregistered device",
         true},
        {"message with a second key", 200, "application/json", R"({"message":"x","data":1})", true, "", true},
        {"only a message that is no text", 200, "application/json", R"({"message":5})", false, maintenance, true},
        {"status maintenance", 503, "application/json", R"({"status":"maintenance","message":"Back at 14:00"})", false,
         "Back at 14:00", true},
        {"status maintenance without a text message", 503, "application/json", R"({"status":"maintenance"})", false, maintenance,
         true},
        {"another status", 200, "application/json", R"({"status":"ok","message":"whatever"})", true, "", true},
        {"a status that is no text", 200, "application/json", R"({"status":1})", false, maintenance, true},
        {"error with the credentials message", 400, "application/json",
         R"({"error":"invalid_grant","message":"The user credentials were incorrect."})", false,
         "Login failed: invalid username or password", true},
        {"error without a text message", 400, "application/json", R"({"error":"x"})", false, maintenance, true},
        {"error with one hint", 400, "application/json", R"({"error":1,"message":"m","hint":{"a":"Try<br />again"}})", false,
         "Try again", true},
        {"error with a hint that is no object", 400, "application/json",
         R"({"error":1,"message":"Unregistered device","hint":["x"]})", false, "Unregistered device", true},
        {"an array", 200, "application/json", R"([{"message":"x"}])", false, maintenance, false},
        {"a scalar", 200, "application/json", "true", false, maintenance, false},
        {"a number", 200, "application/json", "42", false, maintenance, false},
        {"an HTML page", 502, "text/html", "<html><body><h1>Bad Gateway</h1></body></html>", false, checkInternet, false},
        {"an empty body", 200, "application/json", "", false, checkInternet, false},
        {"JSON cut short", 200, "application/json", R"({"data": {)", false, checkInternet, false},
        // Deeper than any thread's stack allows the value to be printed, copied or destroyed.
        {"nested 100,000 levels deep", 200, "application/json",
         R"({"data":)" + std::string(100'000, '[') + std::string(100'000, ']') + "}", false, checkInternet, false},
    };
    for (const auto& reply : cases) {
        backend->enqueueReply("/reply", {reply.status, reply.contentType, reply.body});
        const auto delivery = get(environment, "reply");
        EXPECT_EQ(delivery.calls, 1) << reply.what;
        EXPECT_EQ(delivery.success, reply.success) << reply.what;
        EXPECT_EQ(delivery.message, reply.message) << reply.what;
        EXPECT_EQ(delivery.jsonData, reply.keepsObject ? json::parse(reply.body) : json::object()) << reply.what;
    }
}

TEST(ApiServiceTransport, TwoHintsAreJoinedInEitherOrder) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    backend->enqueueReply("/reply",
                          {400, "application/json", R"({"error":1,"message":"m","hint":{"a":"<b>one</b>","b":"two"}})"});
    const auto delivery = get(environment, "reply");
    EXPECT_TRUE(delivery.message == "one. two" || delivery.message == "two. one") << delivery.message;
}

TEST(ApiServiceTransport, AGetCarriesNoBodyAndNoContentTypeButAlwaysAcceptsJson) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    get(environment, "account/api2/me", {{"Authorization", "Bearer t"}, {"accept", "text/html"}});
    const auto sent = backend->requests().at(0);
    EXPECT_EQ(sent.method, "GET");
    EXPECT_TRUE(sent.body.empty());
    EXPECT_FALSE(sent.header("Content-Type"));
    EXPECT_EQ(sent.header("Accept"), "application/json");
    EXPECT_EQ(sent.header("Authorization"), "Bearer t");
}

TEST(ApiServiceTransport, AFailedRequestLeavesItsDescriptionInTheCrashReportScope) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    backend->enqueueReply("/reply", {400, "application/json", R"({"error":"x","message":"No"})"});
    get(environment, "reply", {{"cache-control", "no-cache"}});
    const auto context = environment.reportScope().contexts()["API request"];
    EXPECT_EQ(context["url"], backend->url() + "reply");
    EXPECT_EQ(context["response.data"], R"({"error":"x","message":"No"})");
    EXPECT_EQ(json::parse(context["result.jsonData"].get<std::string>()), json::parse(R"({"error":"x","message":"No"})"));
    EXPECT_EQ(context["request.dateTime"], "2026-12-07 10:02:20");  // 12-hour clock, no day half
    EXPECT_NE(context["headers"].get<std::string>().find("no-cache"), std::string::npos);
    EXPECT_FALSE(context.contains("request.object"));
    EXPECT_TRUE(environment.reportedEvents().empty());
}

TEST(ApiServiceTransport, ASuccessfulRequestReportsNothing) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    backend->enqueueReply("/reply", {200, "application/json", R"({"data":1})"});
    get(environment, "reply");
    EXPECT_FALSE(environment.reportScope().contexts().contains("API request"));
    EXPECT_TRUE(environment.reportedEvents().empty());
}

TEST(ApiServiceTransport, NoReplyAtAllIsAConnectionProblemReportedAsAMessage) {
    std::string url;
    {
        TestBackend gone;
        ASSERT_TRUE(gone.start());
        url = gone.url();
    }
    corvantis::testing::ScopedEnvironment apiUrl("CORVANTIS_API_URL", url);
    AppTestEnvironment environment;
    const auto delivery = get(environment, "account/api2/me");
    EXPECT_FALSE(delivery.success);
    EXPECT_EQ(delivery.message, checkInternet);
    EXPECT_EQ(delivery.jsonData, json::object());
    const auto events = environment.reportedEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, "API call request data object is incorrect");
    const auto context = environment.reportScope().contexts()["API request"];
    EXPECT_EQ(context["request.object"], url + "account/api2/me");
    EXPECT_EQ(context["result.jsonData"], "{}");
    EXPECT_FALSE(context.contains("response"));
}

TEST(ApiServiceTransport, ATimeOutSendsNoMessageOnlyTheScopeContext) {
    auto session = std::make_shared<FakeURLSession>(FakeURLSession::Outcome{
        std::nullopt, std::nullopt, platform::foundation::URLError::make(platform::foundation::URLError::timedOut)});
    AppTestEnvironment environment(session);
    const auto delivery = get(environment, "account/api2/me");
    EXPECT_EQ(delivery.message, checkInternet);
    EXPECT_TRUE(environment.reportedEvents().empty());
    EXPECT_TRUE(environment.reportScope().contexts().contains("API request"));
    ASSERT_EQ(session->requests().size(), 1u);
    EXPECT_EQ(session->requests()[0].timeoutInterval, std::chrono::seconds(60));
}

TEST(ApiServiceTransport, ABackendThatNeverFallsSilentFailsAtTheDeadlineAsATimeOut) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    const RequestBoundsForTest bounds({1s, ApiService::requestBounds.maximumReplySize});
    // A byte every 200 ms, far from the 60 s of silence that end a request: the whole reply
    // would take 8 s. A type the backend does not compress, which would hold the bytes back.
    const std::string body = R"({"data":")" + std::string(30, '.') + R"("})";
    backend->enqueueReply("/reply", {200, "application/octet-stream", body, 200ms});
    const auto delivery = get(environment, "reply");
    EXPECT_FALSE(delivery.success);
    EXPECT_EQ(delivery.message, checkInternet);
    EXPECT_EQ(delivery.jsonData, json::object());
    EXPECT_TRUE(environment.reportedEvents().empty());
    EXPECT_TRUE(environment.reportScope().contexts().contains("API request"));
}

TEST(ApiServiceTransport, AReplyTakesNoMoreMemoryThanItsBoundAndTheParsesBudget) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    const auto bound = ApiService::requestBounds.maximumReplySize;
    struct Case {
        const char* what;
        std::string body;
    };
    std::string zeros = R"({"data":[0)";
    while (zeros.size() < bound - 8) zeros += ",0";
    std::string emptyObjects = R"({"data":[{})";
    while (emptyObjects.size() < bound - 8) emptyObjects += ",{}";
    const std::vector<Case> cases{
        {"larger than a reply of its kind can be", R"({"data":")" + std::string(2 * bound, 'x') + R"("})"},
        {"many zeros", zeros + "]}"},
        {"many empty objects", emptyObjects + "]}"},
    };
    for (const auto& reply : cases) {
        backend->enqueueReply("/reply", {200, "application/json", reply.body});
        const auto before = corvantis::testing::AllocationMeter::restartPeak();
        const auto delivery = get(environment, "reply");
        const auto grown = corvantis::testing::AllocationMeter::peak() - before;
        EXPECT_FALSE(delivery.success) << reply.what;
        EXPECT_EQ(delivery.message, checkInternet) << reply.what;
        EXPECT_TRUE(delivery.jsonData.empty()) << reply.what;
        // At most the bound's worth of reply in libcurl's buffer, which grows by doubling; its
        // copies for the crash report; and the parse's budget of four times the reply. Parsed
        // whole, the zeros took 30 times the reply and the empty objects 65.
        EXPECT_LT(grown, (2 + 2 + 4) * bound) << reply.what;
    }
}

TEST(ApiServiceTransport, AProfileReplyIsReadWithinFourTimesItsSize) {
    AppTestEnvironment environment;
    LoopbackBackend backend;
    using corvantis::testbed::BackendConfiguration;
    const auto largest = BackendConfiguration::withCatalogue(100000, BackendConfiguration::largestCountryCount);
    const std::size_t hostileSize = std::size_t{20} << 20;
    std::string tinyServers = R"({"data":{"vpn_servers":[{"country":"a","city":"b","name":"c"})";
    while (tinyServers.size() < hostileSize) tinyServers += R"(,{"country":"a","city":"b","name":"c"})";
    std::string hugeMember = R"({"data":{"vpn_servers":[],"other":[0)";
    while (hugeMember.size() < hostileSize) hugeMember += ",0";
    struct Case {
        const char* what;
        std::string body;
        bool accepted;
    };
    const std::vector<Case> cases{
        {"the largest real catalogue", TestBackend::profileOf(largest.accounts.front()).dump(), true},
        {"many tiny servers", tinyServers + "]}}", false},
        {"a huge member beside the servers", hugeMember + "]}}", false},
    };
    for (const auto& reply : cases) {
        backend->enqueueReply("/profile", {200, "application/json", reply.body});
        auto servers = std::make_shared<std::optional<corvantis::ProfileReply::Servers>>();
        Delivery delivery;
        const auto before = corvantis::testing::AllocationMeter::restartPeak();
        ApiServiceTestAccess::callRequest(
            ApiService::apiUrl() + "profile", ApiService::HttpMethod::GET, {}, std::nullopt, std::nullopt,
            [&](bool success, const std::string& message, const json&) {
                delivery.success = success;
                delivery.message = message;
                ++delivery.calls;
            },
            ApiService::profileBounds, corvantis::ProfileReply::readerKeepingServers(servers));
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return delivery.calls > 0; }));
        const auto grown = corvantis::testing::AllocationMeter::peak() - before;
        EXPECT_EQ(delivery.success, reply.accepted) << reply.what;
        EXPECT_EQ(servers->has_value(), reply.accepted) << reply.what;
        EXPECT_EQ(delivery.message, reply.accepted ? "" : checkInternet) << reply.what;
        // libcurl's buffer of up to twice the reply, the read's four times it and, for a
        // refused reply, its copies for the crash report. Read whole into a tree first, the
        // catalogue took seventeen times its size.
        EXPECT_LT(grown, (reply.accepted ? 2 + 4 : 2 + 2 + 4) * reply.body.size()) << reply.what;
    }
}

TEST(ApiServiceTransport, AnHttpResponseWithoutDataIsDescribedInTheReport) {
    auto session = std::make_shared<FakeURLSession>(
        FakeURLSession::Outcome{std::nullopt, platform::foundation::HTTPURLResponse{"https://x/", 502, {{"Server", "edge"}}},
                                platform::foundation::URLError::make(platform::foundation::URLError::networkConnectionLost)});
    AppTestEnvironment environment(session);
    get(environment, "account/api2/me");
    const auto context = environment.reportScope().contexts()["API request"];
    EXPECT_NE(context["response"].get<std::string>().find("502"), std::string::npos);
    EXPECT_EQ(environment.reportedEvents().size(), 1u);
}

}  // namespace
