#pragma once

#include "app/ApiRequestInfo.hpp"
#include "app/ApiServiceError.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>

namespace corvantis {

// How the backend client reads a reply body. The HTTP status is never looked at: the body
// alone says whether the request succeeded.
class ApiReply {
public:
    // Classifies reply data (present, possibly empty) and notes what it found in `info`
    // ("response.data", "result.jsonData").
    static ApiReply classify(std::string_view data, ApiRequestInfo& info);

    bool succeeded() const { return !failure; }

    // The reply's JSON object whenever the body parsed to one, also on failure; else an empty object.
    nlohmann::json jsonData = nlohmann::json::object();
    std::optional<ApiServiceError> failure;

private:
    static std::optional<ApiServiceError> failureOf(const nlohmann::json& object);
};

}  // namespace corvantis
