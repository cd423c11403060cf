#include "platform/foundation/HTTPURLResponse.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>

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

long long HTTPURLResponse::expectedContentLength() const {
    const auto field = value("Content-Length");
    if (!field) return -1;
    long long length = -1;
    const auto [end, error] = std::from_chars(field->data(), field->data() + field->size(), length);
    return error == std::errc() && end == field->data() + field->size() && length >= 0 ? length : -1;
}

std::string HTTPURLResponse::description() const {
    std::string text = "{ URL: " + url + " } { Status Code: " + std::to_string(statusCode) + ", Headers {";
    for (const auto& [name, value] : allHeaderFields) text += " " + name + " = " + value + ";";
    return text + " } }";
}

}  // namespace platform::foundation
