#include "app/PlanSelection.hpp"
#include "support/ScopedEnvironment.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::PlanSelection;
using nlohmann::json;

namespace {

std::vector<json> products(std::initializer_list<std::pair<json, json>> idsAndTitles) {
    std::vector<json> list;
    for (const auto& [id, title] : idsAndTitles) list.push_back({{"product_id", id}, {"title", title}});
    return list;
}

TEST(PlanSelection, TheLatestDatedSubscriptionWithAMatchingProductNamesThePlan) {
    corvantis::testing::ScopedEnvironment zone("TZ", "UTC");
    const auto monthlyAndYearly = products({{7, "Monthly"}, {9, "Yearly"}});
    struct Case {
        std::string name;
        json subscriptions;
        std::vector<json> products;
        std::optional<std::string> plan;
    };
    const std::vector<Case> cases{
        {"later date wins", {{"7", "2025-03-01"}, {"9", "2026-01-15"}}, monthlyAndYearly, "Yearly"},
        {"later date wins whatever the key order", {{"9", "2025-03-01"}, {"7", "2026-01-15"}}, monthlyAndYearly, "Monthly"},
        {"latest has no product", {{"7", "2025-03-01"}, {"9", "2026-01-15"}}, products({{7, "Monthly"}}), "Monthly"},
        {"free trial alone", {{"2", "2026-01-15"}}, monthlyAndYearly, "Free Trial"},
        {"any match replaces the free trial", {{"2", "2027-01-01"}, {"7", "2025-03-01"}}, monthlyAndYearly, "Monthly"},
        {"free trial product of its own", {{"2", "2026-01-15"}}, products({{2, "Trial week"}}), "Trial week"},
        {"no match", {{"5", "2026-01-15"}}, monthlyAndYearly, std::nullopt},
        {"no subscriptions", json::object(), monthlyAndYearly, std::nullopt},
        {"last matching product of the list",
         {{"7", "2026-01-15"}},
         products({{7, "Monthly"}, {7, "Monthly (renewed)"}}),
         "Monthly (renewed)"},
        {"an unparsable date sorts first", {{"7", "soon"}, {"9", "2020-01-01"}}, monthlyAndYearly, "Yearly"},
        {"a missing date sorts first", {{"9", "2020-01-01"}, {"7", nullptr}}, monthlyAndYearly, "Yearly"},
        {"equal dates keep the key order", {{"9", "2026-01-15"}, {"7", "2026-01-15"}}, monthlyAndYearly, "Yearly"},
        {"equally unparsable dates keep the key order", {{"7", "x"}, {"9", "y"}}, monthlyAndYearly, "Yearly"},
        {"an impossible date does not parse", {{"7", "2026-02-30"}, {"9", "2020-01-01"}}, monthlyAndYearly, "Yearly"},
        {"a key that is no integer matches nothing",
         {{"7a", "2026-01-15"}, {"", "2026-01-15"}},
         products({{7, "Monthly"}, {0, "Zero"}}),
         std::nullopt},
        {"an id that is no integer never matches",
         {{"7", "2026-01-15"}},
         products({{"7", "Text id"}, {7.0, "Float id"}, {nullptr, "None"}}),
         std::nullopt},
        {"a date past 2262 is still later", {{"9", "2262-04-12"}, {"7", "2100-01-01"}}, monthlyAndYearly, "Yearly"},
        {"and far later still", {{"9", "9999-12-31"}, {"7", "2262-04-12"}}, monthlyAndYearly, "Yearly"},
        {"a title that is no text never matches", {{"7", "2026-01-15"}}, products({{7, "Monthly"}, {7, 12}}), "Monthly"},
    };
    for (const auto& testCase : cases) {
        EXPECT_EQ(PlanSelection::select(testCase.subscriptions, testCase.products), testCase.plan) << testCase.name;
    }
}

TEST(PlanSelection, ADayWhoseMidnightTheClocksSkipStillHasItsDate) {
    corvantis::testing::ScopedEnvironment zone("TZ", "America/Santiago");
    EXPECT_EQ(PlanSelection::select({{"7", "2026-09-06"}, {"9", "2025-03-01"}}, products({{7, "Monthly"}, {9, "Yearly"}})),
              "Monthly");
}

TEST(PlanSelection, AProductWithoutAnIdIsPassedOver) {
    const std::vector<json> list{json::object(), {{"title", "No id"}}, {{"product_id", 9}, {"title", "Yearly"}}};
    EXPECT_EQ(PlanSelection::select({{"9", "2026-01-15"}}, list), "Yearly");
    EXPECT_FALSE(PlanSelection::select(json::array(), list));
}

}  // namespace
