#include "platform/foundation/JSONSerialization.hpp"

#include <nlohmann/json.hpp>

namespace platform::foundation::JSONSerialization {

Expected<nlohmann::json> jsonObject(std::string_view data) {
    if (nestsDeeperThan(data, maximumNestingDepth)) return Error{readFailureCode, readFailureDescription};
    auto parsed = nlohmann::json::parse(data, nullptr, false);
    if (parsed.is_discarded()) return Error{readFailureCode, readFailureDescription};
    return parsed;
}

bool nestsDeeperThan(std::string_view data, std::size_t limit) {
    std::size_t depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : data) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
            case '"': inString = true; break;
            case '[':
            case '{':
                if (++depth > limit) return true;
                break;
            case ']':
            case '}':
                if (depth > 0) --depth;
                break;
            default: break;
        }
    }
    return false;
}

}  // namespace platform::foundation::JSONSerialization
