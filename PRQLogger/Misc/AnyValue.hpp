#pragma once

#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace prq {

// A value of one of the kinds a log call carries: a Boolean (never mistaken for a number), a
// whole or a floating-point number, a text, a list or a set of such values. A whole number is
// kept signed, unless it is unsigned and too large for that.
class AnyValue {
public:
    using List = std::vector<AnyValue>;
    using Set = std::set<AnyValue>;

    AnyValue(bool value) : content_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>) AnyValue(T value) : content_(wholeNumber(value)) {}
    template <std::floating_point T>
    AnyValue(T value) : content_(static_cast<double>(value)) {}
    AnyValue(char value) : content_(std::string(1, value)) {}
    AnyValue(const char* value) : content_(std::string(value)) {}
    // Other pointers would silently become Booleans.
    AnyValue(const void*) = delete;
    AnyValue(std::string_view value) : content_(std::string(value)) {}
    AnyValue(std::string value) : content_(std::move(value)) {}
    AnyValue(List value) : content_(std::move(value)) {}
    AnyValue(Set value) : content_(std::move(value)) {}
    template <class T>
    requires std::constructible_from<AnyValue, const T&> AnyValue(const std::vector<T>& values)
        : content_(List(values.begin(), values.end())) {}
    template <class T>
    requires std::constructible_from<AnyValue, const T&> AnyValue(const std::set<T>& values)
        : content_(Set(values.begin(), values.end())) {}

    // The value if it is of kind T (bool, std::int64_t, std::uint64_t, double, std::string, List
    // or Set), else null.
    template <class T>
    const T* get_if() const {
        return std::get_if<T>(&content_);
    }
    template <class T>
    bool is() const {
        return std::holds_alternative<T>(content_);
    }

    // The textual form: texts as they are, Booleans as "true"/"false", numbers in their usual
    // decimal form ("8.0" for a whole double), lists and sets as "[…]" with texts quoted.
    std::string description() const;

    friend bool operator==(const AnyValue& a, const AnyValue& b) { return a.content_ == b.content_; }
    friend bool operator<(const AnyValue& a, const AnyValue& b) { return a.content_ < b.content_; }

private:
    using Content = std::variant<bool, std::int64_t, std::uint64_t, double, std::string, List, Set>;

    template <std::integral T>
    static Content wholeNumber(T value) {
        if constexpr (std::is_unsigned_v<T>) {
            if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::uint64_t{value};
        }
        return static_cast<std::int64_t>(value);
    }
    std::string debugDescription() const;

    Content content_;
};

// A log call's extra information (tags, developer names, the internal mark).
using UserInfo = std::map<std::string, AnyValue>;

// The user information of calls that give none; a shared empty map costs a call nothing.
inline const UserInfo noUserInfo{};

}  // namespace prq
