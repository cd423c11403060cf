#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <variant>

namespace platform::foundation {

// A failure as a value: the system error number where one applies (0 otherwise) and a text
// that says what went wrong in words a user or a log reader understands.
struct Error {
    int code = 0;
    std::string message;

    // "<what>: <strerror(code)>", the usual form for a failed system call.
    static Error fromErrno(const std::string& what, int code = errno) { return Error{code, what + ": " + std::strerror(code)}; }
};

// Either a value or the `Error` that prevented it; a result nobody looks at is a failure nobody
// hears of, so the compiler insists that it be looked at.
template <class T>
class [[nodiscard]] Expected {
public:
    Expected(T value) : content_(std::move(value)) {}
    Expected(Error error) : content_(std::move(error)) {}

    explicit operator bool() const { return hasValue(); }
    bool hasValue() const { return content_.index() == 0; }
    T& value() & { return std::get<0>(content_); }
    const T& value() const& { return std::get<0>(content_); }
    T&& value() && { return std::get<0>(std::move(content_)); }
    const Error& error() const { return std::get<1>(content_); }

private:
    std::variant<T, Error> content_;
};

template <>
class [[nodiscard]] Expected<void> {
public:
    Expected() = default;
    Expected(Error error) : error_(std::move(error)), failed_(true) {}

    explicit operator bool() const { return !failed_; }
    bool hasValue() const { return !failed_; }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

}  // namespace platform::foundation
