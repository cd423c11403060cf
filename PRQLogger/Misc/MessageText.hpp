#pragma once

#include "PRQLogger/Misc/AnyValue.hpp"

#include <concepts>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace prq {

// The message closure a logger keeps (its message for calls that give none): none logs nothing.
using MessageClosure = std::function<std::optional<AnyValue>()>;

namespace detail {
template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};
}  // namespace detail

// The text of a message value: texts unchanged, anything else by its description; an empty
// optional (or a null C string) is no message at all.
template <class Value>
std::optional<std::string> messageText(Value&& value) {
    using T = std::remove_cvref_t<Value>;
    if constexpr (detail::IsOptional<T>::value) {
        if (!value) return std::nullopt;
        return messageText(*std::forward<Value>(value));
    } else if constexpr (std::is_same_v<T, std::nullopt_t>) {
        return std::nullopt;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return std::optional<std::string>(std::forward<Value>(value));
    } else if constexpr (std::is_convertible_v<T, const char*>) {
        const char* text = value;
        if (text == nullptr) return std::nullopt;
        return std::string(text);
    } else if constexpr (std::is_convertible_v<T, std::string_view>) {
        return std::string(std::string_view(value));
    } else {
        return AnyValue(std::forward<Value>(value)).description();
    }
}

// `messageText` into `text`, reusing its storage; false (and `text` left as it was) for no message.
template <class Value>
bool assignMessageText(Value&& value, std::string& text) {
    using T = std::remove_cvref_t<Value>;
    if constexpr (detail::IsOptional<T>::value) {
        if (!value) return false;
        return assignMessageText(*std::forward<Value>(value), text);
    } else if constexpr (std::is_same_v<T, std::nullopt_t>) {
        return false;
    } else if constexpr (std::is_same_v<T, std::string>) {
        text = std::forward<Value>(value);  // a message made for the call hands its storage over
        return true;
    } else if constexpr (std::is_convertible_v<T, const char*>) {
        const char* characters = value;
        if (characters == nullptr) return false;
        text.assign(characters);
        return true;
    } else if constexpr (std::is_convertible_v<T, std::string_view>) {
        text.assign(std::string_view(value));
        return true;
    } else {
        text = AnyValue(std::forward<Value>(value)).description();
        return true;
    }
}

// A closure that yields a message: a text, a number, a Boolean, a list, an `AnyValue`, or an
// optional of one of them.
template <class F>
concept MessageProducer = std::invocable<F&> && requires(F& f) {
    messageText(f());
};

}  // namespace prq
