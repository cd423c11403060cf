#pragma once

#include "platform/dispatch/Clock.hpp"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::foundation {

// One HTTP request as handed to a URL session.
struct URLRequest {
    using HeaderFields = std::vector<std::pair<std::string, std::string>>;

    std::string url;
    std::string httpMethod = "GET";
    std::optional<std::string> httpBody;
    // Longest silence the transfer tolerates (while connecting or waiting for bytes), not a
    // limit on the whole transfer.
    dispatch::Duration timeoutInterval = std::chrono::seconds(60);
    // Longest time the whole transfer may take; none: no limit beyond the silence above.
    std::optional<dispatch::Duration> timeoutIntervalForResource;
    // Largest reply body (as decoded) the transfer takes; none: the session's own maximum. A
    // larger one fails with `URLError::dataLengthExceedsMaximum`.
    std::optional<std::size_t> maximumResponseSize;

    // Header fields in the order they were first set.
    const HeaderFields& allHTTPHeaderFields() const { return headers_; }
    // Sets a field, replacing one of the same name in any letter case.
    void setValue(std::string value, std::string_view field);
    std::optional<std::string> value(std::string_view field) const;

    // Equal requests ask for the same thing: URL, method, body, limits and header fields.
    bool operator==(const URLRequest&) const = default;

private:
    HeaderFields headers_;
};

}  // namespace platform::foundation
