#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

namespace corvantis {

// Picks the title of the account's plan from its subscriptions and the product list.
class PlanSelection {
public:
    PlanSelection() = delete;

    static constexpr const char* freeTrial = "Free Trial";

    // `subscriptions` maps product ids (decimal texts) to dates ("yyyy-MM-dd", local time).
    // "Free Trial" when a subscription's key is "2"; then, taking the subscriptions from the
    // earliest date to the latest, every product whose integer "product_id" equals a
    // subscription's id makes its text "title" the plan, so the last match wins. A date that
    // does not parse counts as earlier than any other; subscriptions of the same date keep the
    // order of their keys. A product without an integer id or a text title never matches.
    // None when nothing applies.
    static std::optional<std::string> select(const nlohmann::json& subscriptions, const std::vector<nlohmann::json>& products);
};

}  // namespace corvantis
