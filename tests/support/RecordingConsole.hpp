#pragma once

#include "platform/foundation/Console.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace corvantis::testing {

// Keeps every console message, in order, instead of writing it to standard error.
class RecordingConsole final : public platform::foundation::Console {
public:
    void log(const std::string& message) override {
        std::lock_guard lock(mutex_);
        messages_.push_back(message);
    }

    std::vector<std::string> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

}  // namespace corvantis::testing
