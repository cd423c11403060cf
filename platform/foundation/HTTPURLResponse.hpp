#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::foundation {

// The head of an HTTP reply: where it came from, its status and its header fields.
struct HTTPURLResponse {
    std::string url;
    int statusCode = 0;
    std::vector<std::pair<std::string, std::string>> allHeaderFields;

    std::optional<std::string> value(std::string_view field) const;
    // The body length the "Content-Length" field announces; -1 when it announces none.
    long long expectedContentLength() const;
    // One line naming the URL, the status code and the header fields.
    std::string description() const;

    // HTTP field names compare without regard to letter case.
    static bool sameFieldName(std::string_view a, std::string_view b);
};

}  // namespace platform::foundation
