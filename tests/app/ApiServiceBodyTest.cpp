#include "fixtures/ApiServiceTestAccess.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::ApiService;
using corvantis::ApiServiceTestAccess;

namespace {

using Params = ApiService::FormParameters;

Params fields(std::initializer_list<std::pair<std::string, std::string>> pairs) {
    Params params;
    for (const auto& [name, value] : pairs) params.push_back({{"name", name}, {"value", value}});
    return params;
}

struct BodyCase {
    const char* what;
    Params params;
    ApiService::ContentType contentType;
    std::string body;
};

TEST(ApiServiceBody, EncodesEachContentTypeByteForByte) {
    const std::string boundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";
    const std::vector<BodyCase> cases{
        {"the example of the URL encoding", fields({{"a", "x@y"}, {"b", "1+1=2"}}), ApiService::ContentType::formUrlencloded,
         "a=x%40y&b=1%2B1%3D2&undefined="},
        {"no fields", {}, ApiService::ContentType::formUrlencloded, "undefined="},
        {"every byte outside the unreserved set is escaped", fields({{"p", "a b&c%d/é~._-Z9"}}),
         ApiService::ContentType::formUrlencloded, "p=a%20b%26c%25d%2F%C3%A9~._-Z9&undefined="},
        {"names are not escaped", fields({{"client_id", "7e0b"}}), ApiService::ContentType::formUrlencloded,
         "client_id=7e0b&undefined="},
        {"one multipart field", fields({{"grant_type", "password"}}), ApiService::ContentType::formData,
         "--" + boundary + "\r\nContent-Disposition: form-data; name=\"grant_type\"\r\n\r\npassword\r\n--" + boundary + "--\r\n"},
        {"multipart values stay as they are", fields({{"a", "x@y"}, {"b", "1 + 1"}}), ApiService::ContentType::formData,
         "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx@y\r\n--" + boundary +
             "\r\nContent-Disposition: form-data; name=\"b\"\r\n\r\n1 + 1\r\n--" + boundary + "--\r\n"},
        {"no multipart fields", {}, ApiService::ContentType::formData, "--" + boundary + "--\r\n"},
        {"a record without a value ends the body as it stands",
         Params{{{"name", "a"}, {"value", "1"}}, {{"name", "b"}}, {{"name", "c"}, {"value", "3"}}},
         ApiService::ContentType::formUrlencloded, "a=1&"},
        {"a multipart record without a name ends the body as it stands", Params{{{"value", "1"}}},
         ApiService::ContentType::formData, ""},
    };
    for (const auto& check : cases) {
        EXPECT_EQ(ApiServiceTestAccess::getPostString(check.params, check.contentType), check.body) << check.what;
    }
    EXPECT_EQ(std::string(ApiService::formDataBoundary).size(), 37u);
}

class ApiServiceSentBodyTest : public ::testing::Test {
protected:
    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend;

    void send(ApiService::ContentType contentType, const Params& params, const std::string& path) {
        bool delivered = false;
        ApiServiceTestAccess::callRequest(ApiService::apiUrl() + path, ApiService::HttpMethod::POST,
                                          {{"cache-control", "no-cache"}}, contentType, params,
                                          [&](bool, const std::string&, const nlohmann::json&) { delivered = true; });
        ASSERT_TRUE(environment.runMainQueueUntil([&] { return delivered; }));
    }
};

TEST_F(ApiServiceSentBodyTest, TheBackendReceivesTheEncodedBytesAndDecodesTheFields) {
    const auto params = fields({{"client_id", ApiService::clientId},
                                {"grant_type", "password"},
                                {"username", "a+b@x.test"},
                                {"password", "p@ss w/rd=&%"},
                                {"scope", "me.fullprofile me.servers"}});
    send(ApiService::ContentType::formData, params, "account/oauth/token");
    send(ApiService::ContentType::formUrlencloded, params, "account/oauth/register-device");

    const auto requests = backend->requests();
    ASSERT_EQ(requests.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto contentType = i == 0 ? ApiService::ContentType::formData : ApiService::ContentType::formUrlencloded;
        EXPECT_EQ(requests[i].body, ApiServiceTestAccess::getPostString(params, contentType));
        EXPECT_EQ(requests[i].header("Content-Type"), std::string(rawValue(contentType)));
        EXPECT_EQ(corvantis::testbed::FormBody::value(requests[i].form, "password"), "p@ss w/rd=&%");
        EXPECT_EQ(corvantis::testbed::FormBody::value(requests[i].form, "username"), "a+b@x.test");
    }
}

TEST_F(ApiServiceSentBodyTest, TheCrashReportOfAFailedRequestNeverCarriesThePassword) {
    backend->setFailureMode(corvantis::testbed::TestBackend::FailureMode::htmlErrorBody);
    const auto params = fields({{"username", "someone@x.test"}, {"password", "hunter2-secret"}});
    const std::vector<std::pair<ApiService::ContentType, std::string>> maskedFields{
        {ApiService::ContentType::formData, "name=\"password\"\r\n\r\nFILTERED\r\n"},
        {ApiService::ContentType::formUrlencloded, "&password=FILTERED&"}};
    for (const auto& [contentType, maskedField] : maskedFields) {
        send(contentType, params, "account/oauth/token");
        const auto context = environment.reportScope().contexts()["API request"];
        const auto reported = context["httpBody"].get<std::string>();
        EXPECT_EQ(reported.find("hunter2"), std::string::npos);
        EXPECT_NE(reported.find("someone"), std::string::npos);
        EXPECT_NE(reported.find(maskedField), std::string::npos) << reported;
        EXPECT_NE(backend->requests().back().body.find("hunter2-secret"), std::string::npos);  // the backend got it
    }
}

}  // namespace

namespace {

TEST(ApiServiceEnumerations, CarryTheirRawTexts) {
    EXPECT_EQ(rawValue(ApiService::HttpMethod::POST), "POST");
    EXPECT_EQ(rawValue(ApiService::HttpMethod::GET), "GET");
    EXPECT_EQ(rawValue(ApiService::HttpMethod::PUT), "PUT");
    EXPECT_EQ(rawValue(ApiService::ContentType::formData),
              std::string("multipart/form-data; boundary=") + ApiService::formDataBoundary);
    EXPECT_EQ(rawValue(ApiService::ContentType::formUrlencloded), "application/x-www-form-urlencoded");
    EXPECT_EQ(rawValue(ApiService::DocumentType::privacyPolicy), "privacy-policy");
    EXPECT_EQ(rawValue(ApiService::DocumentType::termsOfUse), "terms-of-use");
}

}  // namespace
