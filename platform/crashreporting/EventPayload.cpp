#include "platform/crashreporting/EventPayload.hpp"

#include <chrono>
#include <random>

namespace platform::crashreporting {

namespace {
const char* levelName(Level level) {
    switch (level) {
        case Level::debug: return "debug";
        case Level::info: return "info";
        case Level::warning: return "warning";
        case Level::error: return "error";
        case Level::fatal: return "fatal";
    }
    return "info";
}

// Seconds since 1970 with their fraction, as the service reads timestamps.
double secondsSince1970(dispatch::WallTime time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}
}  // namespace

nlohmann::json eventPayload(const Event& event, const std::string& eventId, const std::string& clientName) {
    nlohmann::json breadcrumbs = nlohmann::json::array();
    for (const auto& crumb : event.breadcrumbs) {
        breadcrumbs.push_back({{"timestamp", secondsSince1970(crumb.timestamp)},
                               {"level", levelName(crumb.level)},
                               {"category", crumb.category},
                               {"message", crumb.message},
                               {"data", crumb.data}});
    }
    nlohmann::json payload{
        {"event_id", eventId},        {"timestamp", secondsSince1970(event.timestamp)}, {"level", levelName(event.level)},
        {"platform", "native"},       {"message", {{"formatted", event.message}}},      {"extra", event.extras},
        {"contexts", event.contexts}, {"breadcrumbs", {{"values", breadcrumbs}}},       {"sdk", {{"name", clientName}}}};
    if (event.user) {
        nlohmann::json user = event.user->data.is_object() ? event.user->data : nlohmann::json::object();
        user["id"] = event.user->userId;
        payload["user"] = user;
    }
    return payload;
}

std::string newEventId() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char digits[] = "0123456789abcdef";
    std::string id(32, '0');
    for (auto& digit : id) digit = digits[generator() % 16];
    return id;
}

}  // namespace platform::crashreporting
