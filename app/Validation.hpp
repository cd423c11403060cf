#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

enum class ValidationType { email, password };

// The patterns the login form's values must match, whole.
enum class RegEx { email, password };

std::string_view rawValue(RegEx value);
std::optional<RegEx> RegExFromRaw(std::string_view pattern);

// Checks the login form's input before anything is sent.
class Validation {
public:
    struct Value {
        ValidationType type;
        std::string inputValue;
    };
    struct Check {
        std::string text;
        RegEx regex;
    };

    virtual ~Validation() = default;

    static Validation& shared();

    // True when every value passes; stops at the first that fails. No values pass.
    virtual bool validate(const std::vector<Value>& values);
    // False when the text is empty or does not match; none when it passes.
    virtual std::optional<bool> isValidString(const Check& check);
    // Whether the whole text matches the pattern (case-sensitive; "." stops at line breaks).
    virtual bool isValidRegEx(const std::string& text, RegEx regex);
};

}  // namespace corvantis
