#include "platform/foundation/JSONSerialization.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace JSONSerialization = platform::foundation::JSONSerialization;

namespace {

TEST(JSONSerialization, AcceptsTopLevelFragments) {
    EXPECT_EQ(JSONSerialization::jsonObject("true").value(), nlohmann::json(true));
    EXPECT_EQ(JSONSerialization::jsonObject(" 42 ").value(), nlohmann::json(42));
    EXPECT_EQ(JSONSerialization::jsonObject(R"("text")").value(), nlohmann::json("text"));
    EXPECT_EQ(JSONSerialization::jsonObject("[1,2]").value(), nlohmann::json::array({1, 2}));
    EXPECT_EQ(JSONSerialization::jsonObject(R"({"a":{"b":null}})").value()["a"]["b"], nullptr);
}

TEST(JSONSerialization, EveryFailureCarriesTheOneFixedDescriptionWithoutMarkup) {
    const std::vector<std::string> broken{"",
                                          "<html><body><h1>502 Bad Gateway</h1></body></html>",
                                          R"({"data": {"amember_device_id": )",
                                          "{} trailing",
                                          "\"\xff\xfe\"",
                                          "NaN"};
    for (const auto& data : broken) {
        const auto parsed = JSONSerialization::jsonObject(data);
        ASSERT_FALSE(parsed) << data;
        EXPECT_EQ(parsed.error().message, JSONSerialization::readFailureDescription);
        EXPECT_EQ(parsed.error().message.find('<'), std::string::npos);
    }
}

TEST(JSONSerialization, NestingIsLimitedAndBracketsInsideStringsDoNotCount) {
    const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const auto limit = JSONSerialization::maximumNestingDepth;
    EXPECT_TRUE(JSONSerialization::jsonObject(nested(limit)));
    const auto tooDeep = JSONSerialization::jsonObject(nested(limit + 1));
    ASSERT_FALSE(tooDeep);
    EXPECT_EQ(tooDeep.error().message, JSONSerialization::readFailureDescription);
    EXPECT_TRUE(JSONSerialization::jsonObject(R"({"a":")" + std::string(1000, '[') + R"(\"{"})"));
    EXPECT_TRUE(JSONSerialization::nestsDeeperThan(R"({"a":[{"b":[[]]}]})", 4));
    EXPECT_FALSE(JSONSerialization::nestsDeeperThan(R"({"a":[{"b":[[]]}]})", 5));
}

}  // namespace
