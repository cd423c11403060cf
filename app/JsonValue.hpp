#pragma once

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

// Readings of loosely typed backend values, the way the platform's number and text objects
// read themselves.
namespace JsonValue {

// Numbers truncated towards zero, true as 1, texts by their leading integer ("42abc" → 42,
// "abc" → 0); 0 for anything else.
long long integerValue(const nlohmann::json& value);
// Numbers as they are, true as 1, texts by their leading decimal number; 0 for anything else.
double doubleValue(const nlohmann::json& value);
// A text's leading decimal number, read as `doubleValue` reads a text.
double leadingDouble(std::string_view text);
// The whole text as a decimal integer with an optional sign ("7", "-3", "+1"); none for any
// other text ("", " 1", "1a", "1.0") and for a number that does not fit.
std::optional<long long> decimalInteger(std::string_view text);
// A text as it is, a number as its decimal text; none for anything else.
std::optional<std::string> textValue(const nlohmann::json& value);
// The decimal text `textValue` gives for a number that is not an integer.
std::string floatText(double value);
// The member `key` of an object, or none when `object` is not an object or lacks it.
const nlohmann::json* member(const nlohmann::json& object, const std::string& key);
// The member `key` when it is a text.
std::optional<std::string> stringMember(const nlohmann::json& object, const std::string& key);

// One `Model` built from each dictionary of `array`, in order; elements that are not
// dictionaries are skipped, and anything but an array gives an empty list.
template <class Model>
std::vector<std::shared_ptr<Model>> modelsFromDictionaries(const nlohmann::json& array) {
    std::vector<std::shared_ptr<Model>> models;
    if (!array.is_array()) return models;
    for (const auto& dictionary : array) {
        if (dictionary.is_object()) models.push_back(std::make_shared<Model>(dictionary));
    }
    return models;
}

}  // namespace JsonValue

}  // namespace corvantis
