#include "app/PlanSelection.hpp"

#include "app/JsonValue.hpp"
#include "platform/foundation/DateFormatter.hpp"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace corvantis {

namespace {
struct Subscription {
    std::string key;
    std::optional<platform::foundation::DateFormatter::Moment> date;
};

std::vector<Subscription> byDate(const nlohmann::json& subscriptions) {
    const platform::foundation::DateFormatter dates("yyyy-MM-dd");
    std::vector<Subscription> sorted;
    for (const auto& [key, value] : subscriptions.items()) {
        std::optional<platform::foundation::DateFormatter::Moment> date;
        if (value.is_string()) date = dates.moment(value.get_ref<const std::string&>());
        sorted.push_back({key, date});
    }
    // No date sorts first (an empty optional is the least); equal dates keep their key order.
    std::ranges::stable_sort(sorted, std::less<>{}, &Subscription::date);
    return sorted;
}

// The title of a product whose id is `id`; none unless both are of the right kind.
std::optional<std::string> titleIfMatching(const nlohmann::json& product, long long id) {
    const auto* productId = JsonValue::member(product, "product_id");
    if (productId == nullptr || !productId->is_number_integer() || productId->get<long long>() != id) return std::nullopt;
    return JsonValue::stringMember(product, "title");
}
}  // namespace

std::optional<std::string> PlanSelection::select(const nlohmann::json& subscriptions,
                                                 const std::vector<nlohmann::json>& products) {
    if (!subscriptions.is_object()) return std::nullopt;
    std::optional<std::string> plan;
    if (subscriptions.contains("2")) plan = freeTrial;
    for (const auto& subscription : byDate(subscriptions)) {
        const auto id = JsonValue::decimalInteger(subscription.key);
        if (!id) continue;
        for (const auto& product : products) {
            if (auto title = titleIfMatching(product, *id)) plan = std::move(title);
        }
    }
    return plan;
}

}  // namespace corvantis
