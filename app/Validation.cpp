#include "app/Validation.hpp"

#include "platform/foundation/RegularExpression.hpp"

namespace corvantis {

namespace {
using platform::foundation::RegularExpression;

const RegularExpression& compiled(RegEx regex) {
    // The patterns are constants of this file: compiling them cannot fail.
    static const RegularExpression email = RegularExpression::make(rawValue(RegEx::email)).value();
    static const RegularExpression password = RegularExpression::make(rawValue(RegEx::password)).value();
    return regex == RegEx::email ? email : password;
}
}  // namespace

std::string_view rawValue(RegEx value) {
    return value == RegEx::email ? R"([A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,4})" : "^.{6,32}$";
}

std::optional<RegEx> RegExFromRaw(std::string_view pattern) {
    for (const auto value : {RegEx::email, RegEx::password}) {
        if (rawValue(value) == pattern) return value;
    }
    return std::nullopt;
}

Validation& Validation::shared() {
    static Validation validation;
    return validation;
}

bool Validation::validate(const std::vector<Value>& values) {
    for (const auto& value : values) {
        const RegEx regex = value.type == ValidationType::email ? RegEx::email : RegEx::password;
        if (const auto failed = isValidString(Check{value.inputValue, regex})) return *failed;
    }
    return true;
}

std::optional<bool> Validation::isValidString(const Check& check) {
    if (check.text.empty()) return false;
    if (!isValidRegEx(check.text, check.regex)) return false;
    return std::nullopt;
}

bool Validation::isValidRegEx(const std::string& text, RegEx regex) {
    return compiled(regex).matchesWhole(text);
}

}  // namespace corvantis
