// Every reply body the backend could send: classified as the client does, then read as a
// server list grouped by country and as subscriptions choosing a plan.

#include "app/ApiReply.hpp"
#include "app/CountryGroups.hpp"
#include "app/PlanSelection.hpp"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvantis::ApiRequestInfo info;
    const auto reply = corvantis::ApiReply::classify(std::string_view(reinterpret_cast<const char*>(data), size), info);
    // The profile keeps its lists under "data".
    const auto profile = reply.jsonData.find("data");
    const auto& object = profile != reply.jsonData.end() && profile->is_object() ? *profile : reply.jsonData;
    if (const auto servers = object.find("servers"); servers != object.end()) {
        const auto groups = corvantis::CountryGroups::fromServers(*servers);
        (void)groups.dump();
    }
    if (const auto subscriptions = object.find("subscriptions"); subscriptions != object.end()) {
        std::vector<nlohmann::json> products;
        if (const auto listed = object.find("products"); listed != object.end() && listed->is_array()) {
            products.assign(listed->begin(), listed->end());
        }
        (void)corvantis::PlanSelection::select(*subscriptions, products);
    }
    return 0;
}
