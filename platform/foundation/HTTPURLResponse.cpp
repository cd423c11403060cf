#include "platform/foundation/HTTPURLResponse.hpp"

#include <algorithm>
#include <cctype>

namespace platform::foundation {

bool HTTPURLResponse::sameFieldName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<std::string> HTTPURLResponse::value(std::string_view field) const {
    for (const auto& [name, text] : allHeaderFields) {
        if (sameFieldName(name, field)) return text;
    }
    return std::nullopt;
}

std::string HTTPURLResponse::description() const {
    std::string text = "{ URL: " + url + " } { Status Code: " + std::to_string(statusCode) + ", Headers {";
    for (const auto& [name, value] : allHeaderFields) text += " " + name + " = " + value + ";";
    return text + " } }";
}

}  // namespace platform::foundation
