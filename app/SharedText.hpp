#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace corvantis {

// A text that one thread writes while others read it: every access takes the lock, and readers
// get a copy. The account's password is one: the sign-in sets it on the main queue, while the
// crash reporter's masking reads it on the URL session's threads.
class SharedText {
public:
    SharedText() = default;
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    SharedText& operator=(std::string value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
        return *this;
    }
    operator std::string() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void clear() { *this = std::string(); }

    friend bool operator==(const SharedText& text, std::string_view other) { return std::string(text) == other; }

private:
    mutable std::mutex mutex_;
    std::string value_;
};

}  // namespace corvantis
