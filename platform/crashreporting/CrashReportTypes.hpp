#pragma once

#include "platform/dispatch/Clock.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace platform::crashreporting {

enum class Level { debug, info, warning, error, fatal };

// A step the application took, kept in the scope and sent along with the next event.
struct Breadcrumb {
    Level level = Level::info;
    std::string category{};
    std::string message{};
    nlohmann::json data = nlohmann::json::object();
    dispatch::WallTime timestamp{};
};

// Who the events are about.
struct User {
    std::string userId{};
    nlohmann::json data = nlohmann::json::object();
};

// One report as it leaves the application.
struct Event {
    Level level = Level::info;
    std::string message{};
    dispatch::WallTime timestamp{};
    nlohmann::json extras = nlohmann::json::object();
    // Named groups of values, e.g. "API request" → {"url": …}.
    nlohmann::json contexts = nlohmann::json::object();
    std::optional<User> user;
    std::vector<Breadcrumb> breadcrumbs;
};

}  // namespace platform::crashreporting
