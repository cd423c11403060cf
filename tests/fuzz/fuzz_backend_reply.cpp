// Every reply body the backend could send: classified as the client does, then read as a
// server list grouped by country and as subscriptions choosing a plan; and read the way the
// profile reply is read, straight into records.

#include "app/ApiReply.hpp"
#include "app/CountryGroups.hpp"
#include "app/PlanSelection.hpp"
#include "app/ProfileReply.hpp"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvantis::ApiRequestInfo info;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    (void)corvantis::ProfileReply::read(body);
    const auto reply = corvantis::ApiReply::classify(body, info);
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
