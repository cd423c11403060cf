#include "app/JsonValue.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace corvantis::JsonValue {

namespace {
// The text from its first non-blank character on, with a leading "+" dropped (the readers
// below take a sign only as "-").
std::string_view numberStart(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) text.remove_prefix(1);
    if (text.starts_with('+')) text.remove_prefix(1);
    return text;
}
}  // namespace

long long integerValue(const nlohmann::json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_number_integer()) return value.get<long long>();
    if (value.is_number_unsigned()) {
        const auto number = value.get<unsigned long long>();
        return number > static_cast<unsigned long long>(std::numeric_limits<long long>::max())
                   ? std::numeric_limits<long long>::max()
                   : static_cast<long long>(number);
    }
    if (value.is_number_float()) {
        const double number = std::trunc(value.get<double>());
        if (std::isnan(number)) return 0;
        if (number >= 9.2e18) return std::numeric_limits<long long>::max();
        if (number <= -9.2e18) return std::numeric_limits<long long>::min();
        return static_cast<long long>(number);
    }
    if (!value.is_string()) return 0;
    const auto text = numberStart(value.get_ref<const std::string&>());
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range) {
        return text.starts_with('-') ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    }
    return error == std::errc() ? number : 0;
}

double doubleValue(const nlohmann::json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
    if (value.is_number()) return value.get<double>();
    if (!value.is_string()) return 0.0;
    return leadingDouble(value.get_ref<const std::string&>());
}

double leadingDouble(std::string_view text) {
    text = numberStart(text);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() ? number : 0.0;
}

std::optional<long long> decimalInteger(std::string_view text) {
    if (text.starts_with('+') && !text.substr(1).starts_with('-')) text.remove_prefix(1);
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return number;
}

std::optional<std::string> textValue(const nlohmann::json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) {
        // The same digits as the JSON text, without a serializer for each number.
        char digits[24];
        const auto [end, error] = value.is_number_unsigned()
                                      ? std::to_chars(digits, digits + sizeof digits, value.get<unsigned long long>())
                                      : std::to_chars(digits, digits + sizeof digits, value.get<long long>());
        return std::string(digits, end);
    }
    if (value.is_number()) return floatText(value.get<double>());
    return std::nullopt;
}

std::string floatText(double value) {
    return nlohmann::json(value).dump();
}

const nlohmann::json* member(const nlohmann::json& object, const std::string& key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> stringMember(const nlohmann::json& object, const std::string& key) {
    const auto* value = member(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

}  // namespace corvantis::JsonValue
