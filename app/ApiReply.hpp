#pragma once

#include "app/ApiRequestInfo.hpp"
#include "app/ApiServiceError.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string_view>

namespace corvantis {

// How the backend client reads a reply body. The HTTP status is never looked at: the body
// alone says whether the request succeeded.
class ApiReply {
public:
    // A request's own way of reading its body: the JSON object the general reader would make,
    // or a leaner one that its completion knows how to read; none leaves the body to the
    // general reader.
    using BodyReader = std::function<std::optional<nlohmann::json>(std::string_view data)>;

    // Classifies reply data (present, possibly empty) and notes what it found in `info`
    // ("response.data", "result.jsonData"). A reply that `reader` reads and that reads as a
    // success is taken as it read it, with nothing noted; every other one is read the general
    // way, so a failure's report shows all of it.
    static ApiReply classify(std::string_view data, ApiRequestInfo& info, const BodyReader& reader = nullptr);

    bool succeeded() const { return !failure; }

    // The reply's JSON object whenever the body parsed to one, also on failure; else an empty object.
    nlohmann::json jsonData = nlohmann::json::object();
    std::optional<ApiServiceError> failure;

private:
    static std::optional<ApiServiceError> failureOf(const nlohmann::json& object);
};

}  // namespace corvantis
