#include "platform/foundation/CurlURLSession.hpp"
#include "platform/foundation/Locale.hpp"
#include "support/Patience.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <set>

using namespace std::chrono_literals;
using corvantis::testbed::TestBackend;

namespace {

struct Reply {
    int status = 0;
    std::string body;
};

Reply fetch(const std::string& url) {
    std::promise<Reply> done;
    platform::foundation::URLRequest request;
    request.url = url;
    auto session = platform::foundation::CurlURLSession::make();
    session
        ->dataTask(request,
                   [&](auto data, auto response, auto) {
                       done.set_value(Reply{response ? response->statusCode : 0, data.value_or("")});
                   })
        ->resume();
    auto future = done.get_future();
    EXPECT_EQ(future.wait_for(corvantis::testing::patience(120s)), std::future_status::ready);
    return future.get();
}

TEST(TestBackend, FailureModesAnswerEveryEndpointLikeABrokenService) {
    TestBackend backend;
    ASSERT_TRUE(backend.start());
    const std::vector<std::tuple<TestBackend::FailureMode, int, std::string>> modes{
        {TestBackend::FailureMode::maintenance, 503, R"("status":"maintenance")"},
        {TestBackend::FailureMode::htmlErrorBody, 502, "<html>"},
        {TestBackend::FailureMode::malformedJson, 200, R"({"data": {"amember_device_id": )"},
    };
    for (const auto& [mode, status, fragment] : modes) {
        backend.setFailureMode(mode);
        const auto reply = fetch(backend.url() + "account/api2/me");
        EXPECT_EQ(reply.status, status);
        EXPECT_NE(reply.body.find(fragment), std::string::npos) << reply.body;
    }
    backend.setFailureMode(TestBackend::FailureMode::none);
    EXPECT_EQ(fetch(backend.url() + "account/api2/me").status, 401);
}

TEST(TestBackend, CannedRepliesComeFirstAndOnceEach) {
    TestBackend backend;
    ASSERT_TRUE(backend.start());
    backend.setFailureMode(TestBackend::FailureMode::maintenance);
    backend.enqueueReply("/x", {201, "text/plain", "first"});
    backend.enqueueReply("/x", {202, "text/plain", "second"});
    EXPECT_EQ(fetch(backend.url() + "x").body, "first");
    EXPECT_EQ(fetch(backend.url() + "x").body, "second");
    EXPECT_EQ(fetch(backend.url() + "x").status, 503);
    const auto log = backend.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].path, "/x");
    backend.clearRequests();
    EXPECT_TRUE(backend.requests().empty());
}

TEST(TestBackend, StoppingCutsADelayedReplyShort) {
    TestBackend backend;
    ASSERT_TRUE(backend.start());
    backend.setReplyDelay(1h);
    auto pending = std::async(std::launch::async, [&] { return fetch(backend.url() + "account/api2/me"); });
    while (backend.requests().empty()) std::this_thread::yield();
    backend.stop();
    EXPECT_EQ(pending.wait_for(corvantis::testing::patience(120s)), std::future_status::ready);
}

TEST(TestBackend, NamesItsFailureModes) {
    EXPECT_EQ(TestBackend::failureModeNamed("html"), TestBackend::FailureMode::htmlErrorBody);
    EXPECT_EQ(TestBackend::failureModeNamed("malformed"), TestBackend::FailureMode::malformedJson);
    EXPECT_FALSE(TestBackend::failureModeNamed("HTML"));
}

}  // namespace

namespace {

TEST(BackendConfiguration, ACatalogueOfAnySizeSpreadsItsServersOverRealCountries) {
    const platform::foundation::Locale english("en_US");
    for (const auto& [servers, countries] :
         std::vector<std::pair<std::size_t, std::size_t>>{{10000, 200}, {100, 7}, {3, 500}, {0, 10}}) {
        const auto configuration = corvantis::testbed::BackendConfiguration::withCatalogue(servers, countries);
        ASSERT_EQ(configuration.accounts.size(), 1u);
        const auto& catalogue = configuration.accounts.front().servers;
        EXPECT_EQ(catalogue.size(), servers);
        std::set<std::string> codes;
        std::set<std::string> names;
        std::set<std::string> addresses;
        for (const auto& server : catalogue) {
            codes.insert(server.country);
            names.insert(server.name);
            addresses.insert(server.address);
            EXPECT_TRUE(english.localizedCountryName(server.country)) << server.country;
        }
        EXPECT_EQ(codes.size(), std::min({servers, countries, corvantis::testbed::BackendConfiguration::largestCountryCount}));
        EXPECT_EQ(names.size(), servers) << "every host name is its own";
        EXPECT_EQ(addresses.size(), servers) << "every address is its own";
    }
}

TEST(TestBackend, CannedRepliesCarryTheirHeadersAndCanBreakOff) {
    TestBackend backend;
    ASSERT_TRUE(backend.start());
    backend.enqueueReply("/headers", {401, "text/plain", "no", {}, {{"WWW-Authenticate", "Basic realm=\"x\""}}});
    std::promise<std::optional<std::string>> challenge;
    platform::foundation::URLRequest request;
    request.url = backend.url() + "headers";
    auto session = platform::foundation::CurlURLSession::make();
    session
        ->dataTask(request, [&](auto, auto response,
                                auto) { challenge.set_value(response ? response->value("WWW-Authenticate") : std::nullopt); })
        ->resume();
    EXPECT_EQ(challenge.get_future().get(), "Basic realm=\"x\"");

    backend.enqueueReply("/cut", {200, "application/octet-stream", "0123456789", {}, {}, 4});
    EXPECT_EQ(fetch(backend.url() + "cut").body, "") << "a reply cut short is no reply";
}

}  // namespace
