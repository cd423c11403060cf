#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace corvantis::testing {

// Keeps the helper's log lines for a test to read.
class RecordingHelperLog final : public helper::HelperLog {
public:
    void notice(const std::string& message) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(message);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // Whether any line contains `text`.
    bool mentions(const std::string& text) const {
        std::lock_guard lock(mutex_);
        for (const auto& line : lines_) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace corvantis::testing
